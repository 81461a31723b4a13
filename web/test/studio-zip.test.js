import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, writeFileSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { crc32, storedZip } from '../js/studio-zip.js';

const text = (s) => new TextEncoder().encode(s);

test('the CRC-32 is the one zips state', () => {
  assert.equal(crc32(text('123456789')), 0xcbf43926);
  assert.equal(crc32(new Uint8Array()), 0);
});

test('a folder zipped is unzipped by another program to the same files, byte for byte', (t) => {
  const files = [
    ['res/gamedata.dat', text('gametitle="Mine"\r\n')],
    ['res/empty.dat', new Uint8Array()],
    ['tiles/map/map_001.til', Uint8Array.from({ length: 300 }, (_, i) => (i * 7) & 0xff)],
  ];
  const zip = storedZip(files);
  assert.deepEqual([...storedZip(files)], [...zip], 'the same folder makes the same zip');
  const folder = mkdtempSync(join(tmpdir(), 'studio-zip-'));
  t.after(() => rmSync(folder, { recursive: true, force: true }));
  writeFileSync(join(folder, 'work.zip'), zip);
  // Python's zipfile checks every CRC and reads the listing as any unzip does.
  const listed = execFileSync('python3', ['-c', `
import json, sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
assert z.testzip() is None
z.extractall(sys.argv[2])
print(json.dumps([i.filename for i in z.infolist()]))`, join(folder, 'work.zip'), join(folder, 'out')]).toString();
  assert.deepEqual(JSON.parse(listed), files.map(([path]) => path));
  for (const [path, bytes] of files) assert.deepEqual([...readFileSync(join(folder, 'out', path))], [...bytes], path);
});

test('more files than a zip without its 64-bit extension holds are refused, not wrapped round', () => {
  const many = Array.from({ length: 0x10000 }, (_, i) => [`res/${i}.dat`, new Uint8Array()]);
  assert.throws(() => storedZip(many), /more than 65535 files/);
});
