// Every text the web app and the extension's popup show or say, in each
// language they speak. Simplified Chinese is the default; the browser's
// preferred languages (navigator.languages) choose another. Texts painted
// into pictures are not here: the pictures stay as they are.
//
// The page carries keys, not texts: `data-t="key"` names an element's text,
// `data-t-title`, `data-t-alt`, `data-t-aria-label` and `data-t-content`
// its attributes.
// tools/build-web writes the default language into the built page
// (`fillPage`), and the page puts another in place when the browser asks for
// it (`localise`).

export const DefaultLanguage = 'zh-CN';

export const Texts = {
    'zh-CN': {
        slogan: '可记忆 非存储 轻松管理个人密码',
        step1: '输入',
        step2: '获取',
        passwordLabel: '记忆密码',
        keyLabel: '区分代号',
        fingerprintNone: '记忆密码的指纹：尚无密码',
        fingerprintTyping: '记忆密码的指纹：停止输入后显示',
        fingerprintTitle: '记忆密码的指纹：同一密码总是同一图案，打错一个字符就是另一图案。',
        nfc: '非 NFC 文字：按原样计算，未规范化',
        nfcTitle: 'macOS 和一些键盘会把重音字母分成两个字符（非 NFC）。码按所输入的确切字符计算，页面不会改写它们；在别处请输入同样的字符。',
        hintPassword: '记忆密码：选择一个与个人信息无关的密码，防止社会工程学破解。',
        hintKey: '区分代号：用于区别不同用途密码的简短代号，如淘宝账号可用“taobao”或“tb”等。',
        code16Label: '16位码（推荐）：',
        code32Label: '32位完整MD5码：',
        copy: '点击复制',
        copiedPicture: '√ 复制成功',
        copied: '16位码已复制到剪贴板',
        copyRefused: '浏览器拒绝写入剪贴板：请选中16位码后手动复制。',
        descCode16: '由记忆密码和区分代号生成的16位密码',
        descCode32: '由记忆密码和区分代号生成的32位密码',
        descCopy: '将16位码复制到剪贴板',
        tooLong: '密码或区分代号太长（UTF-8 超过 32767 字节），无法生成。',
        donationTitle: '了解并资助Mnemora的发展',
        donation: '捐助Mnemora',
        contributors: '贡献者',
        warning: '一个站点的码一旦泄露，攻击者就能以 MD5 的速度离线试猜你的记忆密码，所以它必须够长、无法猜到。',
        needsScript: 'Mnemora 需要 JavaScript 和 WebAssembly。',
        cannotStart: 'Mnemora 无法启动：',
        strength: ['很弱', '弱', '一般', '强', '很强'],
        strengthLine: (word, log10) => `强度：${word}（约 10^${log10} 次猜测）`,
        framed: '为防仿冒，Mnemora 不在其他网站的框架里工作。',
        openAlone: '单独打开 Mnemora',
        rulesSummary: '网站密码规则',
        siteLabel: '网站',
        siteHint: '网站的域名，如 taobao.com：收录在内置列表中的网站会带出它的规则。',
        siteListed: (domain) => `内置列表收录了 ${domain} 的规则。`,
        siteNotListed: '内置列表没有收录这个网站：请输入它的规则，或选择预设。',
        ruleLabel: '规则',
        ruleHint: '用 passwordrules 语法写的规则，如“minlength: 8; maxlength: 12; required: special;”',
        presetLabel: '预设',
        presetNone: '（选择）',
        presetSymbol: '含符号',
        presetAtMost: '最多 N 个字符',
        presetDigits: '仅数字，N 位',
        presetLength: 'N（字符数）',
        fittedLabel: '适配码：',
        descFitted: '按网站规则调整后的码',
        fittedCopied: '适配码已复制到剪贴板',
        ruleInWords: (words, bits) => `${words}（${bits} 位强度）`,
        fittedIsPlain: '普通16位码已符合这条规则，适配码就是它。',
        ruleError: (part, error) => `规则在“${part}”处有误：${error}`,
    },
    en: {
        slogan: 'Memorable, never stored: your passwords made easy',
        step1: 'Enter',
        step2: 'Get',
        passwordLabel: 'Memorised password',
        keyLabel: 'Site key',
        fingerprintNone: 'Password fingerprint: no password yet',
        fingerprintTyping: 'Password fingerprint: shown once you stop typing',
        fingerprintTitle:
            'Password fingerprint: the same password always gives the same picture; one mistyped character gives another.',
        nfc: 'Not NFC text: derived as typed, not normalised',
        nfcTitle:
            'macOS and some keyboards split accented letters into two characters (not NFC). Codes are derived from the exact characters typed and the page never rewrites them; type the same characters elsewhere.',
        hintPassword: 'Memorised password: choose one unrelated to anything personal, so that no one can guess it from what they know about you.',
        hintKey: 'Site key: a short name that tells your passwords apart, such as “taobao” or “tb” for a Taobao account.',
        code16Label: '16-character code (recommended):',
        code32Label: 'Full 32-character MD5 code:',
        copy: 'Copy',
        copiedPicture: '√ Copied',
        copied: '16-character code copied to the clipboard',
        copyRefused: 'The browser refused to write to the clipboard: select the 16-character code and copy it by hand.',
        descCode16: 'The 16-character password made from the memorised password and the site key',
        descCode32: 'The 32-character password made from the memorised password and the site key',
        descCopy: 'Copies the 16-character code to the clipboard',
        tooLong: 'The password or the site key is too long (over 32,767 bytes in UTF-8): no codes.',
        donationTitle: 'Learn about Mnemora and fund its development',
        donation: 'Donate to Mnemora',
        contributors: 'Contributors',
        warning:
            'Once one site’s code leaks, an attacker can try guesses at your memorised password offline at the speed of MD5, so it must be long and impossible to guess.',
        needsScript: 'Mnemora needs JavaScript and WebAssembly.',
        cannotStart: 'Mnemora cannot start: ',
        strength: ['very weak', 'weak', 'fair', 'strong', 'very strong'],
        strengthLine: (word, log10) => `Strength: ${word} (about 10^${log10} guesses)`,
        framed: 'To keep look-alike pages out, Mnemora does not work inside another website’s frame.',
        openAlone: 'Open Mnemora on its own',
        rulesSummary: 'Site rules',
        siteLabel: 'Site',
        siteHint: 'The site’s domain, such as example.com: a site in the bundled list brings its rule.',
        siteListed: (domain) => `The bundled list gives the rule of ${domain}.`,
        siteNotListed: 'This site is not in the bundled list: type its rule, or choose a preset.',
        ruleLabel: 'Rule',
        ruleHint: 'A rule in the passwordrules syntax, such as “minlength: 8; maxlength: 12; required: special;”',
        presetLabel: 'Preset',
        presetNone: '(choose)',
        presetSymbol: 'with a symbol',
        presetAtMost: 'at most N characters',
        presetDigits: 'digits only, N',
        presetLength: 'N (characters)',
        fittedLabel: 'Fitted code:',
        descFitted: 'The code fitted to the site’s rule',
        fittedCopied: 'Fitted code copied to the clipboard',
        ruleInWords: (words, bits) => `${words} (${bits} bits)`,
        fittedIsPlain: 'The plain 16-character code already meets this rule: it is the fitted code.',
        ruleError: (part, error) => `The rule is wrong at “${part}”: ${error}`,
    },
};

// The first of the browser's languages that has texts here; any Chinese
// reads the Simplified texts.
export function chooseLanguage(preferred) {
    for (const tag of preferred) {
        const primary = tag.toLowerCase().split('-')[0];
        if (primary === 'zh')
            return 'zh-CN';
        if (primary in Texts)
            return primary;
    }
    return DefaultLanguage;
}

// An extension page: the browser has already chosen among the extension's
// _locales, which are written from this table with its language's tag in
// the message `lang`; the shared texts follow that choice.
const extensionLanguage = (globalThis.browser ?? globalThis.chrome)?.i18n?.getMessage?.('lang');
export const language =
    extensionLanguage in Texts ? extensionLanguage : chooseLanguage(globalThis.navigator?.languages ?? []);
export const text = Texts[language];

const Attributes = ['title', 'alt', 'aria-label', 'content'];

function lookUp(texts, key) {
    if (typeof texts[key] !== 'string')
        throw new Error(`no text "${key}"`);
    return texts[key];
}

// Puts the texts of `lang` into the document, and its language on <html>.
export function localise(document, lang = language) {
    const texts = Texts[lang];
    document.documentElement.lang = lang;
    for (const element of document.querySelectorAll('[data-t]'))
        element.textContent = lookUp(texts, element.dataset.t);
    for (const attribute of Attributes)
        for (const element of document.querySelectorAll(`[data-t-${attribute}]`))
            element.setAttribute(attribute, lookUp(texts, element.getAttribute(`data-t-${attribute}`)));
}

const escape = (s) => s.replace(/[&<>"]/g, (c) => `&#${c.charCodeAt(0)};`);

// The same for the page's source, as text: an element that names its text
// must be empty in the source, and gets it; a named attribute is added.
export function fillPage(html, lang = DefaultLanguage) {
    const texts = Texts[lang];
    let elements = 0;
    const filled = html
        .replace(/(<(\w+)\b[^>]*\sdata-t="([^"]+)"[^>]*>)(<\/\2>)/g, (_, open, tag, key, close) => {
            ++elements;
            return `${open}${escape(lookUp(texts, key))}${close}`;
        })
        .replace(/\sdata-t-(title|alt|aria-label|content)="([^"]+)"/g,
            (named, attribute, key) => `${named} ${attribute}="${escape(lookUp(texts, key))}"`)
        .replace(/<html lang="[^"]*"/, `<html lang="${lang}"`);
    if (elements !== (html.match(/\sdata-t="/g) ?? []).length)
        throw new Error('an element that names its text is not empty in the page\'s source');
    return filled;
}
