import { test } from 'node:test';
import assert from 'node:assert/strict';
import { bytesOfText, findingsFor, findingsOf, gutterOf, textOfBytes } from '../js/studio-text.js';

const ascii = (text) => new Uint8Array([...text].map((c) => c.charCodeAt(0)));

test('a data file shown and written back unedited is the same bytes, line ends and high bytes included', () => {
  for (const file of ['a=1\r\nb=2\r\n', 'a=1\nb=2', 'caf\xe9=\xff\x80\r\n', '', 'no end']) {
    const bytes = ascii(file);
    const shown = textOfBytes(bytes);
    assert.ok(!shown.text.includes('\r\n'), 'a text box has no CRLF');
    assert.deepEqual([...bytesOfText(shown.text, shown.crlf).bytes], [...bytes], JSON.stringify(file));
  }
});

test('lines typed into a CRLF file end in CRLF; characters no byte stands for become "?" and are counted', () => {
  const shown = textOfBytes(ascii('a=1\r\n'));
  assert.equal(shown.text, 'a=1\n');
  const written = bytesOfText(shown.text + 'b=\u20ac\u4e2d\n', shown.crlf);
  assert.deepEqual([...written.bytes], [...ascii('a=1\r\nb=??\r\n')]);
  assert.equal(written.replaced, 2);
  // Large files go through in pieces, not one call with every byte.
  const big = new Uint8Array(200000).fill(65);
  assert.equal(textOfBytes(big).text.length, 200000);
});

test("the check's lines are read back as findings, with and without a line, and matched to files ignoring case", () => {
  const found = findingsOf([
    "res/gamedata.dat:11: the value of 'rose(1,1)' is 'z', not a number; the game reads 0",
    'res/GameData.dat: the key party/2/name is missing',
    'tiles/party/garr_001.til: not a tile file',
    '',
    'no file named at all',
  ]);
  assert.deepEqual(found.map((f) => [f.file, f.line]), [
    ['res/gamedata.dat', 11], ['res/GameData.dat', 0], ['tiles/party/garr_001.til', 0], ['', 0]]);
  assert.equal(found[0].problem, "the value of 'rose(1,1)' is 'z', not a number; the game reads 0");
  assert.equal(found[0].text, "res/gamedata.dat:11: the value of 'rose(1,1)' is 'z', not a number; the game reads 0");
  assert.equal(findingsFor(found, 'res/gamedata.dat').length, 2);
  assert.equal(findingsFor(found, 'res/stats.dat').length, 0);
});

test('the gutter numbers every line and marks those a finding names', () => {
  const rows = gutterOf('a\nb\nc', findingsOf(['res/a.dat:2: bad', 'res/a.dat: no line'])).split('\n');
  assert.deepEqual(rows, ['    1', '\u25b6   2', '    3']);
});
