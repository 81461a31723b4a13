// A data file as the studio's text editor shows it, and back. The game reads
// its data files as bytes, one character each, with CRLF between lines; a
// text box knows only "\n" and Unicode. So a file is shown a byte a
// character and written back the same way, with its own line ends put back:
// text that was not edited comes back byte for byte.

/**
 * @typedef {{ text: string, crlf: boolean }} EditedText
 * @typedef {{ file: string, line: number, problem: string, text: string }} Finding
 */

/**
 * @param {Uint8Array} bytes
 * @returns {EditedText}
 */
export function textOfBytes(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 8192) text += String.fromCharCode(...bytes.subarray(i, i + 8192));
  const crlf = text.includes('\r\n');
  return { text: crlf ? text.replace(/\r\n/g, '\n') : text, crlf };
}

/**
 * The bytes of the edited text; a character no byte stands for (one typed
 * or pasted from elsewhere) becomes "?", and is counted.
 * @param {string} text  as the text box gives it, "\n" between lines
 * @param {boolean} crlf  the file's lines end in CRLF
 * @returns {{ bytes: Uint8Array, replaced: number }}
 */
export function bytesOfText(text, crlf) {
  const lines = crlf ? text.replace(/\r?\n/g, '\r\n') : text;
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
  const marked = new Set(findings.map((finding) => finding.line));
  const count = text.split('\n').length;
  const rows = [];
  for (let line = 1; line <= count; line++) rows.push((marked.has(line) ? '\u25b6' : ' ') + String(line).padStart(4));
  return rows.join('\n');
}
