// A data file as the studio's text editor shows it, and back. The game reads
// its data files as bytes, one character each, and splits lines only at
// CR LF: a lone LF or CR is part of its line. A text box knows only "\n"
// between lines and Unicode, so a file is shown a byte a character, a line
// of the editor for each of the game's lines, and a lone LF or CR as a
// sign of its own (\u240a, \u240d); written back the same way, text that was
// not edited comes back byte for byte. The check numbers lines as an editor
// that breaks at every LF and CR would; editorLineOf finds its line here.

/**
 * @typedef {{ file: string, line: number, problem: string, text: string }} Finding
 */

const LONE_LF = '\u240a';
const LONE_CR = '\u240d';

/**
 * @param {Uint8Array} bytes
 * @returns {string}
 */
export function textOfBytes(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
  return text.split('\r\n').map((line) => line.replace(/\n/g, LONE_LF).replace(/\r/g, LONE_CR)).join('\n');
}

/**
 * The bytes of the edited text; a character no byte stands for (one typed
 * or pasted from elsewhere) becomes "?", and is counted.
 * @param {string} text  as the text box gives it, "\n" between lines
 * @returns {{ bytes: Uint8Array, replaced: number }}
 */
export function bytesOfText(text) {
  const lines = text.split(/\r\n|\n|\r/).map((line) => line.split(LONE_LF).join('\n').split(LONE_CR).join('\r'))
    .join('\r\n');
  const bytes = new Uint8Array(lines.length);
  let replaced = 0;
  for (let i = 0; i < lines.length; i++) {
    const code = lines.charCodeAt(i);
    if (code > 0xff) {
      bytes[i] = 0x3f;
      replaced++;
    } else {
      bytes[i] = code;
    }
  }
  return { bytes, replaced };
}

/**
 * The editor's line that holds the check's line `line` (the check counts a
 * lone LF or CR as a line end, the editor shows it within its line).
 * @param {string} text @param {number} line
 * @returns {number}
 */
export function editorLineOf(text, line) {
  const lines = text.split('\n');
  let counted = 0;
  for (let i = 0; i < lines.length; i++) {
    counted += 1 + (lines[i].match(/[\u240a\u240d]/g) || []).length;
    if (line <= counted) return i + 1;
  }
  return lines.length;
}

/**
 * The check's lines, as it prints them ("file:line: problem" or
 * "file: problem"), read back into findings. A file name holds no ": ".
 * @param {string[]} lines
 * @returns {Finding[]}
 */
export function findingsOf(lines) {
  /** @type {Finding[]} */
  const found = [];
  for (const text of lines) {
    if (!text) continue;
    const lined = /^([^:]+):(\d+): (.*)$/.exec(text);
    if (lined) {
      found.push({ file: lined[1], line: Number(lined[2]), problem: lined[3], text });
      continue;
    }
    const plain = /^([^:]+): (.*)$/.exec(text);
    found.push(plain ? { file: plain[1], line: 0, problem: plain[2], text } : { file: '', line: 0, problem: text, text });
  }
  return found;
}

/**
 * The findings that belong to the work's file `path`: the check names
 * files as the folder spells them, which the game matches ignoring case.
 * @param {Finding[]} findings @param {string} path
 */
export function findingsFor(findings, path) {
  const wanted = path.toLowerCase();
  return findings.filter((finding) => finding.file.replace(/\\/g, '/').toLowerCase() === wanted);
}

/**
 * The line numbers, one a line, as a gutter beside the text: a line a
 * finding names is marked.
 * @param {string} text @param {Finding[]} findings
 */
export function gutterOf(text, findings) {
  const marked = new Set(findings.filter((finding) => finding.line > 0)
    .map((finding) => editorLineOf(text, finding.line)));
  const count = text.split('\n').length;
  const rows = [];
  for (let line = 1; line <= count; line++) rows.push((marked.has(line) ? '\u25b6' : ' ') + String(line).padStart(4));
  return rows.join('\n');
}
