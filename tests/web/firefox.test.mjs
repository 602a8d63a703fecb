// The page in Debian's Firefox ESR over WebDriver BiDi.
import { pageSuite } from './page-suite.mjs';
import { siteSuite } from './site-suite.mjs';
import { launchFirefox } from './support.mjs';

const launch = (languages = 'zh-CN') => launchFirefox({ extraPrefsFirefox: { 'intl.accept_languages': languages } });
const { browser, offline } = pageSuite({
    launch,
    // Firefox cannot grant a page clipboard reading: readText() always asks
    // the user through a paste button that WebDriver BiDi cannot press. The
    // copy is checked through the confirmation, which shows only once
    // writeText() has succeeded.
    grantClipboard: async () => false,
    // Firefox has no installability report to ask for.
});

// Served from a host only: the offline edition has none.
if (!offline)
    siteSuite({ launch, defaultBrowser: browser });
