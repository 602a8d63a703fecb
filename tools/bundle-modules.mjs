#!/usr/bin/env node
// Joins an entry module and the modules it imports from its own folder into
// one module, so that a first visit fetches and evaluates one script instead
// of discovering a chain of them: each imported module becomes a function
// evaluated once, in import order, that returns its exports.
//
// Only what this site's modules use is understood: `import { a, b as c }
// from './x.js';` and `export` before a const, let, function or class
// declaration. Anything else (a default export, `export { … }`, an import
// from elsewhere) is refused rather than joined wrongly.
//
//   node tools/bundle-modules.mjs web/app.js >build/web/app.js
import { readFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';

const ImportLine = /^import\s*\{([^}]*)\}\s*from\s*'\.\/([\w-]+\.js)';\n/gm;
const ExportDeclaration = /^export\s+(?:async\s+)?(?:const|let|function\*?|class)\s+([\w$]+)/gm;

const variable = (file) => `module$${basename(file, '.js').replace(/\W/g, '_')}`;

function bindings(list, from) {
    const pairs = list.split(',').map((s) => s.trim()).filter(Boolean).map((s) => s.split(/\s+as\s+/));
    return `const { ${pairs.map(([name, local]) => (local ? `${name}: ${local}` : name)).join(', ')} } = ${variable(from)};\n`;
}

function bundle(entry) {
    const folder = dirname(entry);
    const done = new Map(); // file -> its code, in evaluation order
    function visit(file, chain) {
        if (chain.includes(file))
            throw new Error(`modules import each other: ${[...chain, file].join(' -> ')}`);
        if (done.has(file))
            return;
        const source = readFileSync(join(folder, file), 'utf8');
        for (const [, , from] of source.matchAll(ImportLine))
            visit(from, [...chain, file]);
        const body = source.replace(ImportLine, (_, list, from) => bindings(list, from));
        if (/^\s*(import|export)\b(?!\s+(?:async\s+)?(?:const|let|function|class)\b)/m.test(body))
            throw new Error(`${file}: an import or export this bundler does not understand`);
        const names = [...body.matchAll(ExportDeclaration)].map((m) => m[1]);
        done.set(file, { body: body.replace(/^export\s+/gm, ''), names });
    }
    visit(basename(entry), []);
    const parts = [...done].map(([file, { body, names }]) =>
        file === basename(entry)
            ? `// ${file}\n${body}`
            : `// ${file}\nconst ${variable(file)} = (() => {\n${body}\nreturn { ${names.join(', ')} };\n})();\n`);
    return parts.join('\n');
}

process.stdout.write(bundle(process.argv[2]));
