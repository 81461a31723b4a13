// The studio's tiles: every tile file of a work shown as its picture, and
// the one chosen open in an editor of the 16 tile colours, its pixels large
// enough for a finger, the picture as the game shows it (doubled) beside
// them. New tiles, a PNG from any paint program taken into a tile, and a
// tile or a folder's sheet saved as PNG. Reading, writing and taking
// pictures are the program's (bridge.tiles), by delve-tiles' own rules.
import { tiles } from './bridge.js';
import { folderOf, newTileProblem, pixelAt, tilePaths } from './tile-sheet.js';

/** @typedef {import('./bridge.js').TilePixels} TilePixels */
/** @typedef {Map<string, Uint8Array>} Work */

// A tile pixel in the editor is at least this many CSS pixels: a fingertip.
const MIN_CELL = 22;
const EDITOR_SIDE = 384;
// The exported picture: 8 picture pixels a tile pixel, as delve-tiles png.
const EXPORT_SCALE = 8;
const NOT_A_TILE_COLOUR = 4;

/**
 * @template {keyof HTMLElementTagNameMap} K
 * @param {K} tag @param {string} [className] @param {string} [text]
 * @returns {HTMLElementTagNameMap[K]}
 */
function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

/**
 * Draws the tile onto a canvas at `scale` canvas pixels a tile pixel.
 * @param {HTMLCanvasElement} canvas @param {TilePixels} tile @param {number} scale @param {number[][]} palette
 */
function paint(canvas, tile, scale, palette) {
  canvas.width = tile.width * scale;
  canvas.height = tile.height * scale;
  const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d'));
  const image = context.createImageData(tile.width, tile.height);
  tile.pixels.forEach((index, i) => {
    const [r, g, b] = palette[index & 15];
    image.data.set([r, g, b, 255], 4 * i);
  });
  if (scale === 1) {
    context.putImageData(image, 0, 0);
    return;
  }
  const plain = element('canvas');
  plain.width = tile.width;
  plain.height = tile.height;
  /** @type {CanvasRenderingContext2D} */ (plain.getContext('2d')).putImageData(image, 0, 0);
  context.imageSmoothingEnabled = false;
  context.drawImage(plain, 0, 0, canvas.width, canvas.height);
}

/** @param {Blob} blob @param {string} name */
function download(blob, name) {
  const link = element('a');
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

/** @param {HTMLCanvasElement} canvas @returns {Promise<Blob>} */
const pngOf = (canvas) => new Promise((resolve, reject) => canvas.toBlob(
  (blob) => (blob ? resolve(blob) : reject(new Error('the browser made no PNG'))), 'image/png'));

/**
 * A picture file as RGBA, exactly as stored: no colour management, no
 * premultiplied alpha, so palette colours stay palette colours.
 * @param {Blob} file
 */
async function rgbaOf(file) {
  const bitmap = await createImageBitmap(file, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  const canvas = element('canvas');
  canvas.width = bitmap.width;
  canvas.height = bitmap.height;
  const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d', { willReadFrequently: true }));
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
  return { rgba: new Uint8Array(data.buffer, data.byteOffset, data.length), width: canvas.width, height: canvas.height };
}

/**
 * The sheet of a folder's tiles (not those below it) as a PNG, drawn by the
 * program as `delve-tiles sheet` draws it, so that `delve-tiles from-png`
 * reads it back into the folder; null when the folder has no tile.
 * @param {Work} work @param {string} folder  "tiles/map"
 * @returns {Promise<Blob | null>}
 */
export async function sheetPng(work, folder) {
  const files = tilePaths(work).filter((path) => folderOf(path) === folder).map((path) => ({
    stem: path.slice(path.lastIndexOf('/') + 1).replace(/\.til$/i, ''),
    bytes: /** @type {Uint8Array} */ (work.get(path)),
  }));
  const sheet = tiles.sheet(files);
  if (!sheet) return null;
  const canvas = element('canvas');
  canvas.width = sheet.width;
  canvas.height = sheet.height;
  /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d'))
    .putImageData(new ImageData(sheet.rgba, sheet.width, sheet.height), 0, 0);
  return pngOf(canvas);
}

/**
 * The tile editor in `container`, on `work`; `onChange(path)` after each
 * write to the work.
 * @param {HTMLElement} container
 * @param {Work} work
 * @param {(path: string) => void} onChange
 */
export function mountTileEditor(container, work, onChange) {
  const palette = tiles.palette();
  const root = element('div', 'tile-editor');
  const list = element('div', 'tile-list');
  list.setAttribute('role', 'listbox');
  list.setAttribute('aria-label', 'Tiles');
  const editor = element('div', 'tile-edit');
  const title = element('h3', 'tile-name', 'No tile chosen');
  const colours = element('div', 'tile-colours');
  colours.setAttribute('role', 'radiogroup');
  colours.setAttribute('aria-label', 'Colour');
  const grid = element('canvas', 'tile-grid');
  const doubled = element('canvas', 'tile-doubled');
  doubled.setAttribute('aria-label', 'The tile as the game shows it');
  const status = element('p', 'tile-status');
  status.setAttribute('aria-live', 'polite');
  const pictures = element('div', 'tile-pictures');
  pictures.append(grid, doubled);

  const importInput = element('input');
  importInput.type = 'file';
  importInput.accept = 'image/png';
  importInput.className = 'tile-import-file';
  const nearest = element('input');
  nearest.type = 'checkbox';
  nearest.className = 'tile-nearest';
  const nearestLabel = element('label', '', ' other colours to the nearest tile colour');
  nearestLabel.prepend(nearest);
  const importButton = element('button', 'tile-import', 'Import PNG\u2026');
  const exportTile = element('button', 'tile-export', 'Save tile as PNG');
  const exportSheet = element('button', 'tile-export-sheet', 'Save folder as PNG');
  const newPath = element('input', 'tile-new-path');
  newPath.placeholder = 'tiles/map/map_250.til';
  newPath.setAttribute('aria-label', 'New tile\u2019s path');
  const newSize = element('select', 'tile-new-size');
  for (const side of [8, 24]) newSize.append(new Option(side + ' by ' + side, String(side)));
  const newButton = element('button', 'tile-new', 'New tile');
  const actions = element('div', 'tile-actions');
  actions.append(importButton, nearestLabel, exportTile, exportSheet);
  const creating = element('div', 'tile-actions');
  creating.append(newPath, newSize, newButton);
  editor.append(title, colours, pictures, actions, creating, status, importInput);
  importInput.hidden = true;
  root.append(list, editor);
  container.append(root);

  let colour = 15;
  /** @type {string | null} */
  let chosen = null;
  /** @type {TilePixels | null} */
  let tile = null;
  let cell = MIN_CELL;
  let painting = false;
  let stroked = false;  // the stroke changed a pixel: it is written when it ends
  /** @type {Map<string, HTMLCanvasElement>} */
  const shown = new Map();

  /** @param {string} text */
  const say = (text) => { status.textContent = text; };

  const swatches = palette.map(([r, g, b], index) => {
    const swatch = element('button', 'tile-colour');
    swatch.style.background = 'rgb(' + r + ',' + g + ',' + b + ')';
    swatch.setAttribute('role', 'radio');
    swatch.setAttribute('aria-label', 'Colour ' + index);
    swatch.title = 'Colour ' + index;
    swatch.addEventListener('click', () => pick(index));
    colours.append(swatch);
    return swatch;
  });

  /** @param {number} index */
  function pick(index) {
    colour = index;
    swatches.forEach((swatch, i) => swatch.setAttribute('aria-checked', String(i === index)));
  }

  /** The list of tiles, each as its picture, the chosen one marked. */
  function showList() {
    list.textContent = '';
    shown.clear();
    let folder = '';
    for (const path of tilePaths(work)) {
      if (folderOf(path) !== folder) {
        folder = folderOf(path);
        list.append(element('h4', 'tile-folder', folder + '/'));
      }
      const item = element('button', 'tile-item');
      item.setAttribute('role', 'option');
      item.setAttribute('aria-selected', String(path === chosen));
      item.title = path;
      item.dataset.path = path;
      const picture = element('canvas');
      const read = tiles.read(/** @type {Uint8Array} */ (work.get(path)));
      if (read) paint(picture, read, 2, palette);
      item.append(picture, element('span', '', path.slice(path.lastIndexOf('/') + 1)));
      item.addEventListener('click', () => choose(path));
      shown.set(path, picture);
      list.append(item);
    }
  }

  /** @param {string} path */
  function choose(path) {
    const read = tiles.read(/** @type {Uint8Array} */ (work.get(path)));
    if (!read) {
      say(path + ' is not a tile file the game can draw, so it cannot be edited here.');
      return;
    }
    chosen = path;
    tile = read;
    cell = Math.max(MIN_CELL, Math.floor(EDITOR_SIDE / Math.max(tile.width, tile.height)));
    title.textContent = path + ' (' + tile.width + ' by ' + tile.height + ')';
    for (const item of list.querySelectorAll('.tile-item')) {
      item.setAttribute('aria-selected', String(/** @type {HTMLElement} */ (item).dataset.path === path));
    }
    say('');
    redraw();
  }

  function redraw() {
    if (!tile) return;
    paint(grid, tile, cell, palette);
    paint(doubled, tile, 2, palette);
    const context = /** @type {CanvasRenderingContext2D} */ (grid.getContext('2d'));
    context.strokeStyle = 'rgba(128, 128, 128, 0.5)';
    context.beginPath();
    for (let x = 1; x < tile.width; x++) { context.moveTo(x * cell + 0.5, 0); context.lineTo(x * cell + 0.5, grid.height); }
    for (let y = 1; y < tile.height; y++) { context.moveTo(0, y * cell + 0.5); context.lineTo(grid.width, y * cell + 0.5); }
    context.stroke();
    if (chosen && shown.has(chosen)) paint(/** @type {HTMLCanvasElement} */ (shown.get(chosen)), tile, 2, palette);
  }

  /** Writes the tile's pixels into its file in the work. */
  function save() {
    if (!chosen || !tile) return false;
    const written = tiles.write(/** @type {Uint8Array} */ (work.get(chosen)), tile);
    if (!written) {
      say('The tile could not be written back into ' + chosen + '.');
      return false;
    }
    work.set(chosen, written);
    onChange(chosen);
    return true;
  }

  /** @param {PointerEvent} event */
  function paintAt(event) {
    if (!tile) return;
    const box = grid.getBoundingClientRect();
    const at = pixelAt((event.clientX - box.left) * (grid.width / box.width),
                       (event.clientY - box.top) * (grid.height / box.height), cell, tile.width, tile.height);
    if (!at) return;
    const i = at.y * tile.width + at.x;
    if (tile.pixels[i] === colour) return;
    tile.pixels[i] = colour;
    stroked = true;
    redraw();
  }

  grid.style.touchAction = 'none';
  grid.addEventListener('pointerdown', (event) => {
    if (!tile) return;
    painting = true;
    stroked = false;
    grid.setPointerCapture(event.pointerId);
    paintAt(event);
  });
  grid.addEventListener('pointermove', (event) => { if (painting) paintAt(event); });
  const stop = () => {
    if (!painting) return;
    painting = false;
    if (stroked) save();
  };
  grid.addEventListener('pointerup', stop);
  grid.addEventListener('pointercancel', stop);

  importButton.addEventListener('click', () => {
    if (!tile) say('Choose the tile the picture goes into first.');
    else importInput.click();
  });
  importInput.addEventListener('change', () => {
    const file = importInput.files && importInput.files[0];
    importInput.value = '';
    if (file) importPicture(file);
  });

  /** @param {File} file */
  async function importPicture(file) {
    if (!tile || !chosen) return;
    /** @type {{ rgba: Uint8Array, width: number, height: number }} */
    let picture;
    try {
      picture = await rgbaOf(file);
    } catch (error) {
      say(file.name + ' cannot be read as a picture.');
      return;
    }
    const taken = tiles.fromPicture(picture.rgba, picture.width, picture.height, tile.width, tile.height,
                                    nearest.checked);
    if ('problem' in taken) {
      say(file.name + ' was not taken: ' + taken.problem +
          (taken.refusal === NOT_A_TILE_COLOUR ? '; tick \u201cother colours to the nearest tile colour\u201d to take the nearest for each' : '') + '.');
      return;
    }
    tile = taken.tile;
    redraw();
    if (!save()) return;
    say(file.name + ' taken into ' + chosen + (nearest.checked
      ? ': ' + taken.changed + (taken.changed === 1 ? ' pixel' : ' pixels') + ' changed to the nearest tile colour.'
      : '.'));
  }

  exportTile.addEventListener('click', () => {
    if (!tile || !chosen) return;
    const canvas = element('canvas');
    paint(canvas, tile, EXPORT_SCALE, palette);
    const name = /** @type {string} */ (chosen.split('/').pop()).replace(/\.til$/i, '') + '.png';
    pngOf(canvas).then((blob) => download(blob, name), () => say('The browser made no PNG of the tile.'));
  });

  exportSheet.addEventListener('click', () => {
    const folder = chosen ? folderOf(chosen) : 'tiles';
    sheetPng(work, folder).then((blob) => {
      if (blob) download(blob, folder.replace(/\//g, '-') + '.png');
      else say('No tile of ' + folder + ' can go on a sheet.');
    }, () => say('The browser made no PNG of the sheet.'));
  });

  newButton.addEventListener('click', () => {
    const path = newPath.value.trim();
    const problem = newTileProblem(path, work);
    if (problem) {
      say('No new tile: ' + problem + '.');
      return;
    }
    const side = Number(newSize.value);
    const made = tiles.write(new Uint8Array(0), { width: side, height: side, pixels: new Uint8Array(side * side) });
    if (!made) return;
    work.set(path, made);
    onChange(path);
    newPath.value = '';
    showList();
    choose(path);
  });

  pick(colour);
  showList();
  const first = tilePaths(work)[0];
  if (first) choose(first);
  return {
    /** Shows the work's tiles again (after the work changed elsewhere). */
    refresh() {
      showList();
      if (chosen && work.has(chosen)) choose(chosen);
    },
  };
}
