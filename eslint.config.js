// ESLint over all of the project's JavaScript (tools/lint): the
// recommended rules, with each folder's globals: the page and its service
// worker run in a browser, the popup in an extension page, the rest
// (builders, tests, benchmarks) in Node.
import js from '@eslint/js';
import globals from 'globals';

export default [
    {
        ignores: ['build/**', 'build-*/**', 'dist/**', 'node_modules/**'],
    },
    js.configs.recommended,
    {
        files: ['**/*.js', '**/*.mjs'],
        languageOptions: {
            ecmaVersion: 2023,
            sourceType: 'module',
            globals: globals.node,
        },
        rules: {
            'eqeqeq': 'error',
            'no-var': 'error',
            'object-shorthand': 'error',
            'prefer-const': 'error',
        },
    },
    {
        // Puppeteer's page.evaluate runs these functions in the page.
        files: ['tests/**/*.mjs', 'tools/*-screenshot*.mjs', 'bench/web.mjs', 'bench/web-trace.mjs', 'bench/blank-page.mjs'],
        languageOptions: { globals: { ...globals.node, ...globals.browser } },
    },
    {
        files: ['tests/extension/*.mjs'],
        languageOptions: { globals: { ...globals.node, ...globals.browser, ...globals.webextensions } },
    },
    {
        files: ['web/*.js'],
        languageOptions: { globals: globals.browser },
    },
    {
        files: ['web/sw.js'],
        languageOptions: { globals: globals.serviceworker },
    },
    {
        files: ['extension/*.js'],
        languageOptions: { globals: { ...globals.browser, ...globals.webextensions } },
    },
];
