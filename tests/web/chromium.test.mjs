// The page in Debian's headless Chromium.
import { pageSuite } from './page-suite.mjs';
import { siteSuite } from './site-suite.mjs';
import { launchChromium } from './support.mjs';

const launch = (languages = 'zh-CN') => launchChromium({ args: [`--accept-lang=${languages}`] });
const { browser, offline } = pageSuite({
    launch,
    grantClipboard: async (browser, origin) => {
        await browser
            .defaultBrowserContext()
            .overridePermissions(origin, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
        return true;
    },
    installabilityErrors: async (page) => {
        const session = await page.createCDPSession();
        const { installabilityErrors } = await session.send('Page.getInstallabilityErrors');
        await session.detach();
        return installabilityErrors.map((e) => e.errorId);
    },
});

// Served from a host only: the offline edition has none.
if (!offline)
    siteSuite({ launch, defaultBrowser: browser });
