// Runs the C++ engine's vector printer (built with the tests) and returns
// what it computed, with hexadecimal byte strings turned into Uint8Arrays.
import { execFileSync } from 'node:child_process';
import { existsSync } from 'node:fs';

export function fromHex(hex) {
  return Uint8Array.from(Buffer.from(hex, 'hex'));
}

export function engineVectors() {
  const tool = process.env.QUORVEL_ENGINE_VECTORS;
  if (!tool || !existsSync(tool)) {
    throw new Error('QUORVEL_ENGINE_VECTORS must name the built browser_engine_vectors program ' +
                    '(run the tests through ctest)');
  }
  return JSON.parse(execFileSync(tool, { encoding: 'utf8', maxBuffer: 64 << 20 }));
}
