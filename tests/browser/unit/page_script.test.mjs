// The page templates' script core, checked against RFC 1321 and against
// what the C++ engine computes in this same run.
import assert from 'node:assert/strict';
import { describe, it, before } from 'node:test';

import { coreScriptOf, loadCore, readTemplate, templateFiles } from '../lib/page_core.mjs';
import { engineVectors, fromHex } from '../lib/engine_vectors.mjs';

const bytesOf = (text) => new TextEncoder().encode(text);
const hexOf = (bytes) => Buffer.from(bytes).toString('hex');
const textOf = (bytes) => new TextDecoder().decode(bytes);

let vectors;
before(() => {
  vectors = engineVectors();
});

describe('templates', () => {
  it('carry the same script core', () => {
    const [multi, single] = templateFiles.map((name) => coreScriptOf(readTemplate(name)));
    assert.equal(single, multi);
  });

  for (const name of templateFiles) {
    it(`${name} has each placeholder exactly once, the redirect address last`, () => {
      const text = readTemplate(name);
      for (const placeholder of ['%users', '%bcookie', '%bredirect', '%URL', '%res']) {
        assert.equal(text.split(placeholder).length - 1, 1, `${placeholder} in ${name}`);
      }
      // Everything after <plaintext> is raw text, so no redirect address can
      // end the element or add markup.
      assert.match(text, /<plaintext id="qv-redirect" hidden>%URL\s*$/);
    });
  }
});

for (const name of templateFiles) {
  describe(`script core of ${name}`, () => {
    let core;
    before(() => {
      core = loadCore(name);
    });

    it('computes MD5 as in the RFC 1321 test suite', () => {
      const suite = [
        ['', 'd41d8cd98f00b204e9800998ecf8427e'],
        ['a', '0cc175b9c0f1b6a831c399e269772661'],
        ['abc', '900150983cd24fb0d6963f7d28e17f72'],
        ['message digest', 'f96b697d7cb7938d525a2f31aaf161d0'],
        ['abcdefghijklmnopqrstuvwxyz', 'c3fcd3d76192e4007dfb496cca67e13b'],
        ['ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789',
         'd174ab98d277d9f5a5611c2c9f419d9f'],
        ['12345678901234567890123456789012345678901234567890123456789012345678901234567890',
         '57edf4a22be3c955ac49da2e2107b67a'],
      ];
      for (const [input, digest] of suite) assert.equal(core.md5Hex(bytesOf(input)), digest, `MD5("${input}")`);
    });

    it('computes MD5 as the engine does, across block boundaries and non-ASCII bytes', () => {
      for (const { input, digest } of vectors.md5) {
        assert.equal(core.md5Hex(fromHex(input)), digest, `MD5 of ${input.length / 2} bytes`);
      }
    });

    it('decodes every six-bit text the engine encodes, zero bytes and all byte values included', () => {
      assert.ok(vectors.sixBit.some(({ bytes }) => bytes === '00000000000000'));
      for (const { bytes, text } of vectors.sixBit) {
        assert.equal(hexOf(core.decodeSixBit(text)), bytes, `decoding "${text.slice(0, 40)}"`);
      }
    });

    it('decodes the six-bit edge cases by the bit order, not as Base64', () => {
      const cases = [
        ['hB', 'a'],
        ['hJG', 'ab'],
        ['hJ2Y', 'abc'],
        ['hJ2YkB', 'abcd'],
        ['', ''],
      ];
      for (const [text, expected] of cases) assert.equal(textOf(core.decodeSixBit(text)), expected, text);
      assert.equal(hexOf(core.decodeSixBit('/D')), 'ff');
      // A lone final character carries no whole byte.
      assert.equal(textOf(core.decodeSixBit('hJ2Yk')), 'abc');
    });

    it('encrypts as the engine does, for every key shape', () => {
      for (const { key, data, result } of vectors.streamCrypt) {
        const bytes = fromHex(data);
        core.streamCrypt(fromHex(key), bytes);
        assert.equal(hexOf(bytes), result, `key of ${key.length / 2} bytes`);
        core.streamCrypt(fromHex(key), bytes);
        assert.equal(hexOf(bytes), data, 'applying the cipher twice restores the data');
      }
    });

    it('starts the keystream at position 0 with an empty key', () => {
      const data = bytesOf('abc');
      core.streamCrypt(new Uint8Array(0), data);
      assert.equal(hexOf(data), '616066');
    });

    it('refuses a cipher key longer than 256 bytes', () => {
      assert.throws(() => core.streamCrypt(new Uint8Array(257), new Uint8Array(4)), { name: 'RangeError' });
    });

    it('recovers the content key from engine-built entries only with the right user ID and password', () => {
      for (const { user, password, contentKey, entry } of vectors.credentialEntries) {
        const table = JSON.parse(`[${textOf(fromHex(entry))}]`);
        const userId = textOf(fromHex(user));
        const secret = textOf(fromHex(password));
        const key = core.unlockContentKey(table, userId, secret);
        assert.ok(key, `account "${userId}" opens`);
        assert.equal(textOf(key), contentKey);
        assert.equal(core.unlockContentKey(table, userId, secret + 'x'), null, 'longer password');
        assert.equal(core.unlockContentKey(table, userId + 'x', secret), null, 'other user ID');
      }
    });

    it('finds the account in a table of several, letter case counting', () => {
      const byUser = new Map(vectors.credentialEntries.map((v) => [textOf(fromHex(v.user)), v]));
      const table = JSON.parse(`[${vectors.credentialEntries.map((v) => textOf(fromHex(v.entry))).join(',')}]`);
      const contentKey = vectors.credentialEntries[0].contentKey;
      for (const [userId, vector] of byUser) {
        const key = core.unlockContentKey(table, userId, textOf(fromHex(vector.password)));
        assert.equal(key && textOf(key), contentKey, `account "${userId}"`);
      }
      // "alice" and "Alice" share the password; "ALICE" has no account.
      assert.equal(core.unlockContentKey(table, 'ALICE', 'secret'), null);
      assert.equal(core.unlockContentKey(table, 'alice', 'Secret'), null);
    });

    it('tries every account that has the entered user ID', () => {
      const first = vectors.credentialEntries.find((v) => textOf(fromHex(v.user)) === 'alice');
      const [digest, , passwordDigest] = JSON.parse(`[${textOf(fromHex(first.entry))}]`);
      // A second account "alice" whose password digest no entered password
      // matches comes first; the real one must still be found.
      const table = [digest, 'AAAA', '0'.repeat(32), ...JSON.parse(`[${textOf(fromHex(first.entry))}]`)];
      assert.equal(passwordDigest.length, 32);
      assert.equal(textOf(core.unlockContentKey(table, 'alice', 'secret')), first.contentKey);
    });

    it('rejects a password too long to form a cipher key, even when its digest matches', () => {
      const longPassword = 'q'.repeat(127) + 'é';  // 129 bytes: a 258-byte key
      const digest = (text) => core.md5Hex(bytesOf(text));
      const table = [digest('limit'), 'AAAA', digest(digest(longPassword) + core.SALT)];
      assert.equal(core.unlockContentKey(table, 'limit', longPassword), null);
    });

    it('decrypts payloads the engine made', () => {
      for (const { contentKey, content, payload } of vectors.payloads) {
        assert.equal(hexOf(core.decryptContent(bytesOf(contentKey), payload)), content);
      }
    });

    it('finds the charset a page declares', () => {
      const cases = [
        ['no declaration', '<html><title>x</title>', ''],
        ['meta charset', '<meta charset="windows-1252"><title>x</title>', 'windows-1252'],
        ['single quotes, upper case', "<META CHARSET='Shift_JIS'>", 'shift_jis'],
        ['unquoted', '<meta charset=iso-8859-2>', 'iso-8859-2'],
        ['http-equiv', '<meta http-equiv="Content-Type" content="text/html; charset=euc-jp">', 'euc-jp'],
        ['content without http-equiv', '<meta name="x" content="text/html; charset=koi8-r">', ''],
        ['inside a comment', '<!-- <meta charset="koi8-r"> --><meta charset="big5">', 'big5'],
        ['UTF-16 from inside the page', '<meta charset="utf-16le">', 'utf-8'],
        ['after the first 1024 bytes', ' '.repeat(1024) + '<meta charset="koi8-r">', ''],
      ];
      for (const [label, head, expected] of cases) {
        assert.equal(core.declaredCharset(bytesOf(head)), expected, label);
      }
      assert.equal(core.declaredCharset(Uint8Array.of(0xef, 0xbb, 0xbf, 0x3c)), 'utf-8');
      assert.equal(core.declaredCharset(Uint8Array.of(0xff, 0xfe, 0x3c, 0)), 'utf-16le');
      assert.equal(core.declaredCharset(Uint8Array.of(0xfe, 0xff, 0, 0x3c)), 'utf-16be');
    });

    it('reads the page text in its declared charset, UTF-8 otherwise', () => {
      const latin = Uint8Array.from([...bytesOf('<meta charset="windows-1252">caf'), 0xe9]);
      assert.equal(core.decodePage(latin), '<meta charset="windows-1252">café');
      const sjis = Uint8Array.from([...bytesOf('<meta charset="shift_jis">'), 0x93, 0xfa, 0x96, 0x7b]);
      assert.equal(core.decodePage(sjis), '<meta charset="shift_jis">日本');
      assert.equal(core.decodePage(bytesOf('<meta charset="no-such-charset">日本')), '<meta charset="no-such-charset">日本');
      assert.equal(core.decodePage(bytesOf('plain café &#233;')), 'plain café &#233;');
      assert.equal(core.decodePage(Uint8Array.of(0xef, 0xbb, 0xbf, 0x41)), 'A');
    });
  });
}
