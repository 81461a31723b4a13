// A data folder as a .zip for the desktop game: files stored as they are
// (a whole shipped folder is a few hundred kilobytes; packing it would save
// little and cost a deflater), each under its path in the folder, so
// unzipping into DIR gives DIR/res and DIR/tiles for `delve --data DIR`.

/** @type {Uint32Array | null} */
let crcTable = null;

/**
 * The CRC-32 a zip states for each file.
 * @param {Uint8Array} bytes
 */
export function crc32(bytes) {
  if (!crcTable) {
    crcTable = new Uint32Array(256);
    for (let n = 0; n < 256; n++) {
      let c = n;
      for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      crcTable[n] = c >>> 0;
    }
  }
  let crc = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) crc = crcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
  return (crc ^ 0xffffffff) >>> 0;
}

// 1 January 2026, 00:00, as a zip's date and time: a fixed time, so the
// same folder makes the same zip byte for byte.
const ZIP_DATE = ((2026 - 1980) << 9) | (1 << 5) | 1;
const ZIP_TIME = 0;
// Without the 64-bit extension a zip holds at most this many files and bytes.
const MAX_ENTRIES = 0xffff;
const MAX_BYTES = 0xffffffff;

/**
 * The files, in the order given, as a zip of stored files; throws when
 * they do not fit a zip without the 64-bit extension.
 * @param {[string, Uint8Array][]} files  path (with "/" between folders) and bytes
 * @returns {Uint8Array}
 */
export function storedZip(files) {
  if (files.length > MAX_ENTRIES) throw new Error('more than ' + MAX_ENTRIES + ' files do not fit in a zip');
  const encoder = new TextEncoder();
  const names = files.map(([path]) => encoder.encode(path));
  let size = 22;
  for (let i = 0; i < files.length; i++) size += 30 + 46 + 2 * names[i].length + files[i][1].length;
  if (size > MAX_BYTES) throw new Error('the files are more than 4 GB, more than a zip holds');
  const out = new Uint8Array(size);
  const view = new DataView(out.buffer);
  let at = 0;
  const u16 = (/** @type {number} */ value) => { view.setUint16(at, value, true); at += 2; };
  const u32 = (/** @type {number} */ value) => { view.setUint32(at, value, true); at += 4; };
  const put = (/** @type {Uint8Array} */ bytes) => { out.set(bytes, at); at += bytes.length; };
  /** @type {{ crc: number, offset: number }[]} */
  const written = [];
  files.forEach(([, bytes], i) => {
    const crc = crc32(bytes);
    written.push({ crc, offset: at });
    // UTF-8 names (bit 11), stored (method 0).
    u32(0x04034b50); u16(20); u16(0x0800); u16(0); u16(ZIP_TIME); u16(ZIP_DATE);
    u32(crc); u32(bytes.length); u32(bytes.length); u16(names[i].length); u16(0);
    put(names[i]);
    put(bytes);
  });
  const directoryAt = at;
  files.forEach(([, bytes], i) => {
    u32(0x02014b50); u16(20); u16(20); u16(0x0800); u16(0); u16(ZIP_TIME); u16(ZIP_DATE);
    u32(written[i].crc); u32(bytes.length); u32(bytes.length); u16(names[i].length);
    u16(0); u16(0); u16(0); u16(0); u32(0); u32(written[i].offset);
    put(names[i]);
  });
  const directorySize = at - directoryAt;
  u32(0x06054b50); u16(0); u16(0); u16(files.length); u16(files.length);
  u32(directorySize); u32(directoryAt); u16(0);
  return out;
}
