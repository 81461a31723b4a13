// Small files lie side by side in a zip: their headers, and their bytes, are
// read a window of the zip at a time rather than one by one (ten thousand
// reads of a file cost seconds).

export const WINDOW = 1 << 20;

/**
 * Splits `count` pieces, the i-th `size(i)` bytes at `at(i)`, into runs of
 * pieces that follow one another and lie within one WINDOW together; a
 * piece larger than that is a run of its own, and one that lies before the
 * piece ahead of it begins a new run.
 * @param {number} count @param {(i: number) => number} at @param {(i: number) => number} size
 * @returns {{ from: number, to: number, start: number, end: number }[]}  pieces from..to-1, in bytes start..end-1
 */
export function windows(count, at, size) {
  const runs = [];
  for (let i = 0; i < count;) {
    const start = at(i);
    let end = start + size(i), j = i + 1;
    for (; j < count; j++) {
      const next = at(j), nextEnd = next + size(j);
      if (next < at(j - 1) || nextEnd - start > WINDOW) break;
      end = Math.max(end, nextEnd);
    }
    runs.push({ from: i, to: j, start, end });
    i = j;
  }
  return runs;
}
