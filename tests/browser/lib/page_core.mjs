// Loads the script core of a page template (the <script id="qv-core"> block)
// into a fresh node context, so its functions can be tested outside a
// browser exactly as the template carries them.
import { readFileSync } from 'node:fs';
import { fileURLToPath } from 'node:url';
import vm from 'node:vm';

export const templatesDir = fileURLToPath(new URL('../../../templates/', import.meta.url));

export const templateFiles = ['default.htm', 'singlepassword/default.htm'];

export function readTemplate(name) {
  return readFileSync(templatesDir + name, 'utf8');
}

export function coreScriptOf(templateText) {
  const match = /<script id="qv-core">([\s\S]*?)<\/script>/.exec(templateText);
  if (!match) throw new Error('template has no <script id="qv-core"> block');
  return match[1];
}

export function loadCore(templateName) {
  const context = vm.createContext({ TextEncoder, TextDecoder, Uint8Array, Int32Array });
  vm.runInContext(coreScriptOf(readTemplate(templateName)), context, { filename: templateName });
  if (!context.QuorvelPage) throw new Error(`${templateName}: core script defines no QuorvelPage`);
  return context.QuorvelPage;
}
