// The studio: a data folder edited in the page. Its data files are edited as
// text with the data check's findings beside their lines, its tiles shown as
// the game draws them, and the first level of a seed drawn by the game
// itself after every change. The work is kept in the browser (studio-work.js)
// as it changes; Play plays it as a player's own data plays, Download gives
// it as a .zip for the desktop game.
import { studio, describe } from './bridge.js';
import { Delve, addTime } from './hooks.js';
import { importOwn, whenChosen } from './own-import.js';
import { ownRoot, playingName, playOwnSource } from './own.js';
import { byId, focusGame } from './screen.js';
import { bytesOfText, editorLineOf, findingsFor, findingsOf, gutterOf, textOfBytes } from './studio-text.js';
import { copyWork, folderWork, loadWork, sameWork, saveWork, shippedWork, watchWork, workPaths } from './studio-work.js';
import { storedZip } from './studio-zip.js';
import { againstControls } from './studio-against.js';
import { shareWork } from './dungeon-link.js';

/** @typedef {import('./studio-work.js').StudioWork} StudioWork */
/** @typedef {import('./studio-text.js').Finding} Finding */
/** @typedef {import('./studio-against.js').KeptGames} KeptGames */

const ROOT = '/studio';           // the work as the program reads it
const TEXT_PAUSE_MS = 40;         // typing: the check and preview wait for this pause
const SAVE_PAUSE_MS = 250;        // and the keeping for this one
const NAME = 'Studio work';

const dialog = /** @type {HTMLDialogElement} */ (byId('studio-dialog'));
const editor = /** @type {HTMLTextAreaElement} */ (byId('studio-text'));
const gutter = byId('studio-gutter');
const chooser = /** @type {HTMLSelectElement} */ (byId('studio-file'));
const seedField = /** @type {HTMLInputElement} */ (byId('studio-seed'));
const preview = /** @type {HTMLCanvasElement} */ (byId('studio-preview'));

/** @type {StudioWork | null} */
let work = null;
let shown = '';          // the data file in the editor
let unsaved = false;     // a change not kept yet
let changedAt = 0;       // when the first change not yet drawn came
let runTimer = 0;
let saveTimer = 0;
let imports = 0;         // each start from a zip or folder unpacks into a folder of its own
/** @type {Finding[]} */
let findings = [];
/** @type {Uint8Array | null} */
let palette = null;
/** @type {((path: string) => void) | null} */
let tileEditorChanged = null;  // set when the tile editor is mounted
/** @type {{ showGames: () => Promise<void> } | null} */
let against = null;

/** @param {string} text @param {boolean} [refused] */
function status(text, refused) {
  const line = byId('studio-status');
  line.textContent = text;
  line.classList.toggle('refused', !!refused);
}

const dataFiles = (/** @type {StudioWork} */ of) => workPaths(of).filter((path) => /^res\/[^/]+\.dat$/i.test(path));
const tileFiles = (/** @type {StudioWork} */ of) => workPaths(of).filter((path) => /^tiles\//i.test(path));

// --- changes: kept, checked and drawn a moment after they stop ------------

/** @param {string} path the file that changed @param {number} pause */
function changed(path, pause) {
  if (!work) return;
  if (!changedAt) changedAt = performance.now();
  unsaved = true;
  clearTimeout(saveTimer);
  saveTimer = window.setTimeout(keep, SAVE_PAUSE_MS);
  clearTimeout(runTimer);
  runTimer = window.setTimeout(run, pause);
  if (/^tiles\//i.test(path)) drawTile(path);
}

function keep() {
  if (!work) return;
  const kept = work;
  saveWork(kept).then(() => {
    if (kept === work) unsaved = false;
  }, (error) => status('The browser would not keep the work (' + describe(error) + '); it stays in this page.', true));
}

/** The work checked and its first level drawn, from the program's own copy of it. */
function run() {
  runTimer = 0;
  if (!work) return;
  try {
    checkAndDraw();
  } catch (error) {
    // The program stopped (or has no memory left): the work is kept all the same.
    status('The game could not check or draw the work (' + describe(error) + ').', true);
  }
}

function checkAndDraw() {
  if (!work) return;
  const started = changedAt || performance.now();
  changedAt = 0;
  if (!studio.write(ROOT, work)) {
    status('The page could not write the work into the game\'s files.', true);
    return;
  }
  const checked = studio.check(ROOT);
  const lines = checked.problem === undefined ? checked.lines : [checked.problem];
  Delve.studioFindings = lines;
  findings = findingsOf(lines);
  showFindings();
  drawPreview();
  addTime(Delve.studioTimes, performance.now() - started);
  Delve.studioPreviews++;
  byId('studio-time').textContent = 'drawn ' + Math.round(performance.now() - started) + ' ms after the change';
}

function drawPreview() {
  const seed = seedField.value.trim();
  const context = /** @type {CanvasRenderingContext2D} */ (preview.getContext('2d', { alpha: false }));
  if (!/^[0-9]{1,9}$/.test(seed)) {
    byId('studio-seed-note').textContent = 'A seed is a whole number of up to nine digits.';
    return;
  }
  byId('studio-seed-note').textContent = '';
  const page = studio.preview(ROOT, seed);
  if (!page) {
    byId('studio-seed-note').textContent = 'The game drew nothing on this data.';
    return;
  }
  preview.width = page.width;
  preview.height = page.height;
  context.putImageData(pictureOf(page.pixels, page.width, page.height, page.palette), 0, 0);
}

/**
 * Palette indices as the canvas's pixels.
 * @param {Uint8Array} pixels @param {number} width @param {number} height @param {Uint8Array} colours
 */
function pictureOf(pixels, width, height, colours) {
  const picture = new ImageData(width, height);
  const rgba = picture.data;
  for (let i = 0, o = 0; i < pixels.length; i++, o += 4) {
    const c = 3 * pixels[i];
    rgba[o] = colours[c];
    rgba[o + 1] = colours[c + 1];
    rgba[o + 2] = colours[c + 2];
    rgba[o + 3] = 255;
  }
  return picture;
}

// --- the data files: a text box, its line numbers, the findings beside ----

function showFindings() {
  const mine = shown ? findingsFor(findings, shown) : [];
  gutter.textContent = gutterOf(editor.value, mine);
  const list = byId('studio-findings');
  list.textContent = '';
  for (const finding of mine) {
    const item = document.createElement('li');
    const go = document.createElement('button');
    go.type = 'button';
    go.className = 'studio-line';
    go.textContent = finding.line ? 'line ' + finding.line : 'file';
    go.addEventListener('click', () => showLine(finding.line));
    item.append(go, ' ', finding.text);
    list.appendChild(item);
  }
  const others = findings.filter((finding) => !mine.includes(finding));
  const elsewhere = byId('studio-elsewhere');
  elsewhere.textContent = '';
  for (const finding of others) {
    const item = document.createElement('li');
    item.textContent = finding.text;
    elsewhere.appendChild(item);
  }
  byId('studio-elsewhere-count').textContent = others.length
    ? others.length + (others.length === 1 ? ' finding' : ' findings') + ' in other files' : 'Nothing found in other files';
  byId('studio-verdict').textContent = findings.length
    ? 'The check found ' + findings.length + (findings.length === 1 ? ' problem.' : ' problems.')
    : 'The check found nothing.';
}

/**
 * Puts the cursor at the start of `line` and scrolls it into view.
 * @param {number} line
 */
function showLine(line) {
  if (line < 1) return;
  const lines = editor.value.split('\n');
  line = editorLineOf(editor.value, line);
  let at = 0;
  for (let i = 0; i < line - 1 && i < lines.length; i++) at += lines[i].length + 1;
  editor.focus();
  editor.setSelectionRange(at, at);
  const height = editor.scrollHeight / Math.max(lines.length, 1);
  editor.scrollTop = Math.max(0, (line - 3) * height);
}

/** @param {string} path */
function showFile(path) {
  if (!work) return;
  shown = path;
  editor.value = textOfBytes(work.get(path) || new Uint8Array());
  editor.scrollTop = 0;
  chooser.value = path;
  showFindings();
}

function edited() {
  if (!work || !shown) return;
  const written = bytesOfText(editor.value);
  work.set(shown, written.bytes);
  if (written.replaced) status(written.replaced + ' characters that the game cannot show were written as "?".');
  gutter.textContent = gutterOf(editor.value, findingsFor(findings, shown));
  changed(shown, TEXT_PAUSE_MS);
}

// --- tiles: a gallery as the game draws them; the editor, where there is one

/** @param {string} path */
function drawTile(path) {
  const gallery = byId('studio-gallery');
  const figure = /** @type {HTMLElement | null} */ (gallery.querySelector('[data-path="' + CSS.escape(path) + '"]'));
  const bytes = work && work.get(path);
  if (!bytes) {
    if (figure) figure.remove();  // the tile went from the work
    return;
  }
  if (!figure) {
    showGallery();  // a new tile: the gallery again, in its order
    return;
  }
  const canvas = /** @type {HTMLCanvasElement} */ (figure.querySelector('canvas'));
  const tile = studio.tile(bytes);
  figure.classList.toggle('unreadable', !tile);
  if (!tile) return;
  const colours = palette || (palette = studio.palette());
  canvas.width = tile.width;
  canvas.height = tile.height;
  /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d')).putImageData(
    pictureOf(tile.pixels, tile.width, tile.height, colours), 0, 0);
}

function showGallery() {
  const gallery = byId('studio-gallery');
  gallery.textContent = '';
  if (!work) return;
  for (const path of tileFiles(work)) {
    const figure = document.createElement('figure');
    figure.dataset.path = path;
    const canvas = document.createElement('canvas');
    canvas.width = canvas.height = 1;
    const caption = document.createElement('figcaption');
    caption.textContent = path.slice('tiles/'.length);
    figure.title = path;
    figure.append(canvas, caption);
    gallery.appendChild(figure);
    drawTile(path);
  }
}

// The tile editor is a module of its own; without it the gallery is all.
// -------------------------------------------------------------------------
// THE TILE EDITOR MOUNTS HERE: studio-tiles.js's mountTileEditor(container,
// work, onChange) edits the work's tiles in place and calls onChange(path)
// after it writes one.
// -------------------------------------------------------------------------
function mountTiles() {
  if (!work) return;
  const mounted = work;
  const container = byId('studio-tile-editor');
  // A name in a variable: the page may be built without the module.
  const tiles = './studio-tiles.js';
  import(tiles).then((module) => {
    if (mounted !== work || typeof module.mountTileEditor !== 'function') return;
    container.textContent = '';
    tileEditorChanged = (/** @type {string} */ path) => { if (mounted === work) changed(path, 0); };
    module.mountTileEditor(container, mounted, tileEditorChanged);
  }).catch(() => { container.hidden = true; });
}

// --- the work as a whole ---------------------------------------------------

/** @param {StudioWork} next @param {string} [said] */
function adopt(next, said) {
  work = next;
  unsaved = false;
  const files = dataFiles(work);
  chooser.textContent = '';
  for (const path of files) {
    const option = document.createElement('option');
    option.value = option.textContent = path;
    chooser.appendChild(option);
  }
  showFile(files.includes(shown) ? shown : files[0] || '');
  showGallery();
  mountTiles();
  if (said !== undefined) status(said);
  changedAt = performance.now();
  clearTimeout(runTimer);
  run();
}

/**
 * The work replaced by another start: one click takes it back, so a start
 * chosen by mistake loses nothing of the work before.
 * @param {StudioWork} next @param {string} said
 */
function startFrom(next, said) {
  const before = work;
  adopt(next, said);
  unsaved = true;
  keep();
  const back = byId('studio-undo');
  back.hidden = !before || sameWork(before, next);
  back.onclick = () => { if (before) startFrom(before, 'The work is as it was before.'); };
}

/**
 * A zip or a folder taken as the player's own data is: the same import and
 * the same refusals; a refusal changes nothing.
 * @param {import('./own-import.js').Source} source
 */
async function startFromSource(source) {
  status('Reading ' + source.name + '\u2026');
  const root = '/studio-import-' + ++imports;
  try {
    const result = await importOwn(source, root);
    if (result.problem !== undefined) {
      status('"' + source.name + '" cannot be taken: ' + result.problem + '. The work is as it was.', true);
      return;
    }
    const taken = await folderWork(root);
    startFrom(taken, 'The work is now "' + source.name + '".');
  } finally {
    studio.write(root, new Map());
  }
}

/** Opens the studio on the work kept, or on the shipped data when none is. */
async function open() {
  if (!dialog.open) dialog.showModal();
  byId('studio-from-own').hidden = !playingName();
  if (against) against.showGames();
  if (work) return;
  status('Opening the work\u2026');
  await studio.loaded();
  const kept = await loadWork().catch(() => undefined);
  if (kept) adopt(kept, 'The work kept in this browser.');
  else startFrom(await shippedWork(), 'The work starts from the shipped data.');
}

function download() {
  if (!work) return;
  const paths = workPaths(work);
  const zip = storedZip(paths.map((path) => [path, /** @type {Uint8Array} */ (work && work.get(path))]));
  const link = document.createElement('a');
  link.href = URL.createObjectURL(new Blob([zip], { type: 'application/zip' }));
  link.download = 'delve-data.zip';
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

// Share…: the whole work in a link's fragment, or why it cannot be one.
function share() {
  if (!work) return;
  const line = byId('studio-share-line');
  const field = /** @type {HTMLInputElement} */ (byId('studio-share-link'));
  const said = byId('studio-share-said');
  said.textContent = 'Packing the dungeon\u2026';
  line.hidden = false;
  field.value = '';
  shareWork(copyWork(work)).then((made) => {
    if ('problem' in made) {
      line.hidden = true;
      status('No link: ' + made.problem + '.', true);
      return;
    }
    field.value = made.link;
    said.textContent = made.link.length + ' characters; whoever opens it plays this dungeon.';
    field.select();
  });
}

function copyShared() {
  const field = /** @type {HTMLInputElement} */ (byId('studio-share-link'));
  const said = byId('studio-share-said');
  field.select();
  const copied = navigator.clipboard ? navigator.clipboard.writeText(field.value) : Promise.reject(new Error('no clipboard'));
  copied.then(() => { said.textContent = 'Copied.'; },
              () => { said.textContent = 'Select the link and copy it (the browser would not).'; });
}

function play() {
  if (!work) return;
  const playing = copyWork(work);
  status('Starting the game on the work\u2026');
  // Kept first, so the studio opens on it again after the page starts anew.
  saveWork(playing).catch(() => {}).then(() => playOwnSource({
    kind: 'folder', name: NAME,
    files: workPaths(playing).map((path) => ({ path: 'studio-work/' + path,
                                               file: new Blob([/** @type {Uint8Array} */ (playing.get(path))]) })),
  })).catch((error) => status('The browser would not keep the work to play it (' + describe(error) + ').', true));
}

/**
 * The studio's controls.
 * @param {KeptGames} games  the kept games, to check them against the work
 */
export function studioControls(games) {
  against = againstControls({ games, currentWork: () => work, pictureOf });
  const zip = /** @type {HTMLInputElement} */ (byId('studio-zip'));
  const folder = /** @type {HTMLInputElement} */ (byId('studio-folder'));
  byId('studio-folder-line').hidden = !('webkitdirectory' in folder);
  byId('studio-open').addEventListener('click', () => {
    open().catch((error) => status('The studio could not open (' + describe(error) + ').', true));
  });
  byId('studio-close').addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', focusGame);
  // Keys typed in the studio are the studio's, never the game's.
  dialog.addEventListener('keydown', (event) => event.stopPropagation());
  editor.addEventListener('input', edited);
  editor.addEventListener('scroll', () => { gutter.scrollTop = editor.scrollTop; });
  chooser.addEventListener('change', () => showFile(chooser.value));
  seedField.addEventListener('input', () => {
    if (!changedAt) changedAt = performance.now();
    clearTimeout(runTimer);
    runTimer = window.setTimeout(run, TEXT_PAUSE_MS);
  });
  byId('studio-from-shipped').addEventListener('click', () => {
    shippedWork().then((shipped) => startFrom(shipped, 'The work starts again from the shipped data.'));
  });
  byId('studio-from-own').addEventListener('click', () => {
    folderWork(ownRoot()).then((own) => startFrom(own, 'The work starts from your data "' + playingName() + '".'));
  });
  whenChosen(zip, folder, startFromSource);
  byId('studio-play').addEventListener('click', play);
  byId('studio-download').addEventListener('click', download);
  byId('studio-share').addEventListener('click', share);
  byId('studio-share-copy').addEventListener('click', copyShared);
  // Another tab kept the work: this one shows it, unless it has a change of
  // its own still to keep (which is then kept over it).
  watchWork(() => {
    if (!work || unsaved) return;
    loadWork().then((kept) => { if (kept && !unsaved) adopt(kept, 'The work was changed in another tab; this is it.'); });
  });
}
