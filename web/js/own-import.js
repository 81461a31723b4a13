// A player's own data unpacked into the program's file system. The page reads
// the files (a .zip's entries, or a folder's files) and unpacks them; which
// files are taken, whether they can be trusted and what the check finds is
// decided by the program (own_data/own_data_import, delve-check's own checks).
import { own, describe } from './bridge.js';

/**
 * @typedef {{ kind: 'zip', name: string, files: Blob[] }
 *   | { kind: 'folder', name: string, files: { path: string, file: Blob }[] }} Source
 * @typedef {{ problem: string } | { problem?: undefined, tiles: number, lines: string[] }} Imported
 */

// A zip is read a piece at a time, never whole: its last bytes (the end
// record and its comment, at most ZIP_TAIL), its listing, each entry's
// header (ZIP_HEADER bytes) and the entries taken, one by one. A listing of
// more than LISTING_LIMIT bytes (the 20,000 files a game's data may have
// take about 2 MB) is refused before it is read.
const ZIP_TAIL = 22 + 0xffff;
const ZIP_HEADER = 30;
export const LISTING_LIMIT = 16 * 1024 * 1024;

/**
 * A deflated file, unpacked; stops one byte past `size`, which the program
 * then refuses (a zip bomb that understates its sizes gets no further).
 * Null when it cannot be unpacked.
 * @param {Blob} packed
 * @param {number} size
 * @returns {Promise<Uint8Array | null>}
 */
function inflate(packed, size) {
  if (typeof DecompressionStream !== 'function') return Promise.resolve(null);
  const reader = packed.stream().pipeThrough(new DecompressionStream('deflate-raw')).getReader();
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
 * @returns {Promise<Imported>}
 */
export function importOwn(source, root) {
  /** @type {number} */
  let job;
  try {
    job = own.begin(root);
  } catch (error) {
    return Promise.resolve({ problem: 'it could not be read (' + describe(error) + ')' });
  }
  let finished = false;
  /** @param {Imported} result */
  const finish = (result) => {
    if (!finished) {
      finished = true;
      own.end(job);
    }
    return result;
  };
  /** @type {Promise<void>} */
  let listed;
  if (source.kind === 'zip') {
    const zip = source.files[0];
    listed = bytesOf(zip.slice(Math.max(0, zip.size - ZIP_TAIL))).then((tail) => {
      const listing = own.zipEnd(job, tail, zip.size);
      if (!listing) return;  // the program has its problem
      if (listing.size > LISTING_LIMIT) {
        throw new Error('its listing is larger than ' + (LISTING_LIMIT >> 20) + ' MB, more than a game\'s data needs');
      }
      return bytesOf(zip.slice(listing.at, listing.at + listing.size)).then((directory) => {
        const count = own.zipEntries(job, directory);
        /** @param {number} i @returns {Promise<void>} */
        const header = (i) => {
          if (i >= count) return Promise.resolve();
          const at = own.zipHeaderAt(job, i);
          return bytesOf(zip.slice(at, at + ZIP_HEADER)).then((bytes) => {
            if (own.zipHeader(job, i, bytes)) return header(i + 1);
          });
        };
        return header(0);
      });
    });
  } else {
    listed = Promise.resolve(source.files.forEach((entry) => own.addFile(job, entry.path, entry.file.size)));
  }
  return listed.then(() => {
    const count = own.plan(job);
    if (count < 0) return finish({ problem: own.problem(job) });
    /** @param {number} k @returns {Promise<Imported>} */
    const next = (k) => {
      if (k === count) {
        const report = own.check(job).split('\n');
        if (report[0].charAt(0) === '!') return Promise.resolve(finish({ problem: report[0].slice(1) }));
        return Promise.resolve(finish({ tiles: Number(report[0]), lines: report.slice(1) }));
      }
      const taken = own.taken(job, k);
      // Each file's bytes are read from the zip or the folder as they are
      // needed, never all of them at once.
      const unpacked = source.kind === 'zip'
        ? (() => {
            const packed = source.files[0].slice(taken.offset, taken.offset + taken.packed);
            return taken.method === 8 ? inflate(packed, taken.size) : bytesOf(packed);
          })()
        : bytesOf(source.files[taken.index].file);
      return unpacked.then((bytes) => {
        if (!bytes || !own.store(job, k, bytes)) {
          return finish({ problem: bytes ? own.problem(job) : typeof DecompressionStream === 'function'
            ? 'a file in it could not be unpacked (it is damaged)'
            : 'this browser cannot unpack a zip (open the folder itself instead)' });
        }
        return next(k + 1);
      });
    };
    return next(0);
  }).catch((error) => finish({ problem: 'it could not be read (' + describe(error) + ')' }));
}
