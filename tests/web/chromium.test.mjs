// The page in Debian's headless Chromium.
import { pageSuite } from './page-suite.mjs';
import { launchChromium } from './support.mjs';

pageSuite({
    launch: launchChromium,
    grantClipboard: async (browser, origin) => {
        await browser
            .defaultBrowserContext()
            .overridePermissions(origin, ['clipboard-read', 'clipboard-write', 'clipboard-sanitized-write']);
        return true;
    },
});
