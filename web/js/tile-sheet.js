// What the tile editor works out without the program or the page: which
// files of a work are tiles, which tile pixel a pointer is over, and whether
// a new tile's name can be one.

/** @typedef {Map<string, Uint8Array>} Work */

/** @param {string} path */
export const isTilePath = (path) => /^tiles\/.+\.til$/i.test(path);

/**
 * The work's tile files, by folder and then by name, as a file manager
 * lists them.
 * @param {Work} work
 */
export function tilePaths(work) {
  return Array.from(work.keys()).filter(isTilePath).sort((a, b) => (a < b ? -1 : a > b ? 1 : 0));
}

/** @param {string} path  "tiles/map/map_001.til" @returns {string} "tiles/map" */
export const folderOf = (path) => path.slice(0, path.lastIndexOf('/'));

/**
 * The tile pixel under (x, y) on a picture of the tile at `cell` pixels a
 * tile pixel, or null off it.
 * @param {number} x @param {number} y @param {number} cell @param {number} width @param {number} height
 */
export function pixelAt(x, y, cell, width, height) {
  const column = Math.floor(x / cell);
  const row = Math.floor(y / cell);
  if (!(column >= 0 && row >= 0 && column < width && row < height)) return null;
  return { x: column, y: row };
}

/**
 * Why a new tile cannot have this path ('' when it can): it must be a
 * file below tiles/ ending in .til, of plain names, that the work does not
 * have yet in any case (the game finds files whatever their case). The import judges the
 * whole work again when it is played or shared.
 * @param {string} path @param {Work} work
 */
export function newTileProblem(path, work) {
  if (!isTilePath(path)) return 'a tile goes below tiles/ and its name ends in .til (tiles/map/map_250.til)';
  if (path.split('/').some((part) => part === '' || part === '.' || part === '..')) {
    return 'a folder of its path is empty, "." or ".."';
  }
  // The studio keeps plain names only: anything else would not come back.
  if (!/^[A-Za-z0-9_.\/-]+$/.test(path)) return 'its names may hold only letters, digits, ".", "_" and "-"';
  const lower = path.toLowerCase();
  for (const existing of work.keys()) {
    if (existing.toLowerCase() === lower) return existing + ' is there already';
  }
  return '';
}
