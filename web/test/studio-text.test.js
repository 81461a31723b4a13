import { test } from 'node:test';
import assert from 'node:assert/strict';
import { bytesOfText, editorLineOf, findingsFor, findingsOf, gutterOf, textOfBytes } from '../js/studio-text.js';

const ascii = (text) => new Uint8Array([...text].map((c) => c.charCodeAt(0)));

test('a data file shown and written back unedited is the same bytes: line ends, lone LF and CR, high bytes', () => {
  for (const file of ['a=1\r\nb=2\r\n', 'a=1\nb=2', 'a=1\rb=2\r\r\n\n', 'caf\xe9=\xff\x80\r\n', '', '\r\n']) {
    const bytes = ascii(file);
    const shown = textOfBytes(bytes);
    assert.ok(!/[\r]/.test(shown), 'a text box has no CR');
    assert.deepEqual([...bytesOfText(shown).bytes], [...bytes], JSON.stringify(file));
  }
});

test("the editor's lines are the game's: a lone LF is shown within its line, and the check's lines found there", () => {
  // The game reads an LF-only file as one line; so does the editor.
  const shown = textOfBytes(ascii('a=1\nb=2\r\nc=3\r\nd=4'));
  assert.deepEqual(shown.split('\n'), ['a=1\u240ab=2', 'c=3', 'd=4']);
  // The check counts the lone LF as a line end: its lines 1 and 2 are the editor's line 1.
  assert.deepEqual([1, 2, 3, 4, 9].map((line) => editorLineOf(shown, line)), [1, 1, 2, 3, 3]);
  const rows = gutterOf(shown, findingsOf(['res/a.dat:3: bad'])).split('\n');
  assert.equal(rows[1], '\u25b6   2');
});

test('lines typed end in CRLF; characters no byte stands for become "?" and are counted', () => {
  const shown = textOfBytes(ascii('a=1\r\n'));
  assert.equal(shown, 'a=1\n');
  const written = bytesOfText(shown + 'b=\u20ac\u4e2d\n');
  assert.deepEqual([...written.bytes], [...ascii('a=1\r\nb=??\r\n')]);
  assert.equal(written.replaced, 2);
  // Large files go through in pieces, not one call with every byte.
  const big = new Uint8Array(200000).fill(65);
  assert.equal(textOfBytes(big).length, 200000);
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
