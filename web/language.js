// The language the page speaks: the first of the browser's languages
// (navigator.languages) that has texts, any Chinese reading the Simplified
// texts; the default where none has. Shared by the page's head, which puts
// it on <html> before any picture is asked for (web/boot.js), and by its
// texts (web/texts.js); it carries no texts itself.
export function chooseLanguage(preferred, languages, fallback) {
    for (const tag of preferred) {
        const primary = tag.toLowerCase().split('-')[0];
        if (primary === 'zh')
            return 'zh-CN';
        if (languages.includes(primary))
            return primary;
    }
    return fallback;
}
