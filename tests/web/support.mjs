// Shared by the web suites: where the built site is.
import { existsSync } from 'node:fs';

export function siteDir() {
    const dir = process.env.MNEMORA_WEB_DIR;
    if (!dir || !existsSync(`${dir}/mnemora.wasm`))
        throw new Error('MNEMORA_WEB_DIR must name the built site (make web-build)');
    return dir;
}
