// A player's own data unpacked into the program's file system. The page reads
// the files (a .zip's entries, or a folder's files) and unpacks them; which
// files are taken, whether they can be trusted and what the check finds is
// decided by the program (own_data/own_data_import, delve-check's own checks).
import { own, describe, breathe } from './bridge.js';
import { windows } from './read-windows.js';

/**
 * @typedef {{ kind: 'zip', name: string, files: Blob[] }
 *   | { kind: 'link', name: string, files: Blob[] }
 *   | { kind: 'folder', name: string, files: { path: string, file: Blob }[] }} Source
 * (a link's one Blob is a dungeon link's payload, unpacked: data-link.js)
 * @typedef {{ problem: string } | { problem?: undefined, tiles: number, lines: string[] }} Imported
 * @typedef {{ stage: 'listing' | 'unpacking' | 'checking', done: number, total: number }} Progress
 * @typedef {object} ImportOptions
 * @property {(progress: Progress) => void} [progress]  how far it got, now and then
 * @property {() => boolean} [abandoned]  true once the import is no longer wanted (another try replaced it)
 * @property {boolean} [discard]  remove the files once checked (a try, not the data played)
 * @property {boolean} [discardRefused]  remove the files when they are refused (nothing half taken stays)
 */

// A zip is read a piece at a time, never whole: its last bytes (the end
// record and its comment, at most ZIP_TAIL), its listing, each entry's
// header (ZIP_HEADER bytes) and the entries taken, one by one. A listing of
// more than LISTING_LIMIT bytes (the 20,000 files a game's data may have
// take about 2 MB) is refused before it is read.
const ZIP_TAIL = 22 + 0xffff;
const ZIP_HEADER = 30;
export const LISTING_LIMIT = 16 * 1024 * 1024;
// The page's thread is handed back to the browser after this long at work.
const BUSY_MS = 8;

/**
 * A deflated file, unpacked; stops one byte past `size`, which the program
 * then refuses (a zip bomb that understates its sizes gets no further).
 * Null when it cannot be unpacked.
 * @param {Uint8Array} packed
 * @param {number} size
 * @returns {Promise<Uint8Array | null>}
 */
function inflate(packed, size) {
  if (typeof DecompressionStream !== 'function') return Promise.resolve(null);
  // Written to the stream as they are, not piped from a Blob: that costs a
  // millisecond a file, which ten thousand small files make seconds.
  const inflater = new DecompressionStream('deflate-raw');
  const writer = inflater.writable.getWriter();
  // Once reading stops (a bomb, or damage), writing fails: that is no news.
  writer.write(packed).catch(() => {});
  writer.close().catch(() => {});
  const reader = inflater.readable.getReader();
  const out = new Uint8Array(size + 1);
  let length = 0;
  /** @returns {Promise<Uint8Array>} */
  const pump = () => reader.read().then((step) => {
    if (step.done) return out.subarray(0, length);
    const room = Math.min(step.value.length, out.length - length);
    out.set(step.value.subarray(0, room), length);
    length += room;
    if (length > size) {
      reader.cancel().catch(() => {});
      return out;
    }
    return pump();
  });
  return pump().catch(() => null);
}

/** @param {Blob} blob */
const bytesOf = (blob) => blob.arrayBuffer().then((buffer) => new Uint8Array(buffer));

/**
 * Unpacks `source` into `root` and checks it there.
 * @param {Source} source
 * @param {string} root
 * @param {ImportOptions} [options]
 * @returns {Promise<Imported>}
 */
export async function importOwn(source, root, options = {}) {
  /** @type {number} */
  let job;
  try {
    job = own.begin(root);
  } catch (error) {
    return { problem: 'it could not be read (' + describe(error) + ')' };
  }
  const tell = options.progress || (() => {});
  const abandoned = options.abandoned || (() => false);
  let busySince = performance.now();
  // Long imports hand the thread back now and then, so the page answers
  // (and shows its progress) while they run.
  const pause = async () => {
    if (performance.now() - busySince < BUSY_MS) return;
    await breathe();
    busySince = performance.now();
  };
  let refused = true;
  try {
    const result = await unpack(job);
    refused = result.problem !== undefined;
    return result;
  } catch (error) {
    return { problem: 'it could not be read (' + describe(error) + ')' };
  } finally {
    // This file system keeps what is written for as long as the page lives.
    if (options.discard || (options.discardRefused && refused)) {
      await breathe();  // removing ten thousand files is work of its own
      try {
        own.remove(job);
      } catch (error) { /* a program that stopped keeps nothing anyway; what the check found stands */ }
    }
    own.end(job);
  }

  /** @param {number} job @returns {Promise<Imported>} */
  async function unpack(job) {
    if (source.kind === 'link') {
      // One run of bytes, read and planned by the program as a zip's
      // listing is, then every file taken from it at once.
      if (!own.link(job, await bytesOf(source.files[0]))) return { problem: own.problem(job) };
      const count = own.plan(job);
      if (count < 0 || !own.linkStore(job)) return { problem: own.problem(job) };
      return checked(job, count);
    }
    if (source.kind === 'zip') {
      if (!await listZip(job, source.files[0])) return { problem: own.problem(job) };
    } else {
      for (const entry of source.files) own.addFile(job, entry.path, entry.file.size);
    }
    const count = own.plan(job);
    if (count < 0) return { problem: own.problem(job) };
    const taken = Array.from({ length: count }, (_, k) => own.taken(job, k));
    const runs = source.kind === 'zip'
      ? windows(count, (k) => taken[k].offset, (k) => taken[k].packed)
      : taken.map((_, k) => ({ from: k, to: k + 1, start: 0, end: 0 }));
    for (const run of runs) {
      if (abandoned()) return { problem: 'another try took its place' };
      // Each file's bytes are read from the zip or the folder as they are
      // needed, never all of them at once.
      const chunk = source.kind === 'zip' ? await bytesOf(source.files[0].slice(run.start, run.end)) : null;
      for (let k = run.from; k < run.to; k++) {
        const file = taken[k];
        /** @type {Uint8Array | null} */
        let bytes;
        if (chunk) {
          const packed = chunk.subarray(file.offset - run.start, file.offset - run.start + file.packed);
          bytes = file.method === 8 ? await inflate(packed, file.size) : packed;
        } else {
          bytes = await bytesOf(/** @type {{ file: Blob }[]} */ (source.files)[file.index].file);
        }
        if (!bytes || !own.store(job, k, bytes)) {
          return { problem: bytes ? own.problem(job) : typeof DecompressionStream === 'function'
            ? 'a file in it could not be unpacked (it is damaged)'
            : 'this browser cannot unpack a zip (open the folder itself instead)' };
        }
        tell({ stage: 'unpacking', done: k + 1, total: count });
        await pause();
      }
    }
    return checked(job, count);
  }

  /** @param {number} job @param {number} count @returns {Promise<Imported>} */
  async function checked(job, count) {
    tell({ stage: 'checking', done: count, total: count });
    await breathe();
    const report = own.check(job).split('\n');
    if (report[0].charAt(0) === '!') return { problem: report[0].slice(1) };
    return { tiles: Number(report[0]), lines: report.slice(1) };
  }

  /**
   * A zip's listing and each entry's header; false when the program found
   * a problem with them.
   * @param {number} job @param {Blob} zip
   * @returns {Promise<boolean>}
   */
  async function listZip(job, zip) {
    const tail = await bytesOf(zip.slice(Math.max(0, zip.size - ZIP_TAIL)));
    const listing = own.zipEnd(job, tail, zip.size);
    if (!listing) return false;
    if (listing.size > LISTING_LIMIT) {
      throw new Error('its listing is larger than ' + (LISTING_LIMIT >> 20) + ' MB, more than a game\'s data needs');
    }
    const directory = await bytesOf(zip.slice(listing.at, listing.at + listing.size));
    const count = own.zipEntries(job, directory);
    if (count < 0) return false;
    const headerAt = Array.from({ length: count }, (_, i) => own.zipHeaderAt(job, i));
    for (const run of windows(count, (i) => headerAt[i], () => ZIP_HEADER)) {
      if (abandoned()) throw new Error('another try took its place');
      const chunk = await bytesOf(zip.slice(run.start, run.end));
      for (let i = run.from; i < run.to; i++) {
        const at = headerAt[i] - run.start;
        if (!own.zipHeader(job, i, chunk.subarray(at, at + ZIP_HEADER))) return false;
        tell({ stage: 'listing', done: i + 1, total: count });
        await pause();
      }
    }
    return true;
  }
}
