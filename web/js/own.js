// A player's own data files: tried while the shipped game plays on, so a
// refusal loses nothing; once the player chooses to play them, they are kept
// in the browser (IndexedDB, never sent anywhere) and the page starts again
// on them, with "--data /own" as the desktop game takes --data.
import { describe } from './bridge.js';
import { Delve } from './hooks.js';
import { importOwn } from './own-import.js';
import { createOwnKeep } from './own-keep.js';
import { byId, note, focusGame } from './screen.js';

/** @typedef {import('./own-import.js').Source} Source */

const FLAG = 'delve-own-data';  // localStorage: the name of the data chosen
const ROOT = '/own';
const LINK_ROOT = '/own-linked';  // a dungeon link's files: never over the own data that may play instead
let root = ROOT;                // where the data played is
let trials = 0;                 // each trial unpacks into a folder of its own, removed once checked
/** @type {Source | null} */
let chosen = null;              // the source tried last and accepted
let playing = '';               // the name of the own data this page plays, or ''
/** @type {Uint8Array | null} */
let linked = null;              // the data played, when it came from a dungeon link: its bytes, to share again

const keep = createOwnKeep(() => window.indexedDB);

function forget() {
  try { localStorage.removeItem(FLAG); } catch (error) { /* nothing kept */ }
  return keep.forget().catch(() => {});
}

/** Which data the game plays: '' for the shipped game, else the own data's name. */
export const playingName = () => playing;
/** The bytes of the dungeon link the page plays, or null when it plays other data. */
export const linkedDungeon = () => linked;
/** The program's arguments for the data it plays. */
export const dataArgs = () => (playing ? ['--data', root] : []);

const dialog = /** @type {HTMLDialogElement} */ (byId('own-dialog'));

/**
 * @param {string} status
 * @param {boolean} [refused]
 * @param {string[]} [lines]
 * @param {boolean} [playable]
 */
function show(status, refused, lines, playable) {
  const shown = byId('own-status');
  shown.textContent = status;
  shown.classList.toggle('refused', !!refused);
  const list = byId('own-findings');
  list.textContent = '';
  for (const line of lines || []) {
    const item = document.createElement('li');
    item.textContent = line;
    list.appendChild(item);
  }
  byId('own-play').hidden = !playable;
  if (!dialog.open) dialog.showModal();
}

/** @param {import('./own-import.js').Progress} progress @param {string} name */
function progressLine(progress, name) {
  const counted = progress.done.toLocaleString() + ' of ' + progress.total.toLocaleString();
  if (progress.stage === 'listing') return 'Checking ' + name + '\u2026 reading its listing (' + counted + ' files)';
  if (progress.stage === 'unpacking') return 'Checking ' + name + '\u2026 unpacked ' + counted + ' files';
  return 'Checking ' + name + '\u2026 checking ' + progress.total.toLocaleString() + ' files';
}

/**
 * Tries the files while the shipped game plays on. The try's files are
 * checked and then removed (playing them unpacks them again, on a fresh
 * page); a try replaced by another is abandoned and says nothing more.
 * @param {Source} source
 */
function tryOwn(source) {
  chosen = null;
  const trial = ++trials;
  if (Delve.state === 'failed') {
    show('The game has stopped; load the page again to try your files.', true);
    return;
  }
  // The program's checks run once it is loaded and its data is in place.
  if (!/^(choosing|starting|running|ended)$/.test(Delve.state)) {
    show('The game is still loading; try again in a moment.', true);
    return;
  }
  show('Checking ' + source.name + '\u2026');
  const root = '/own-trial-' + trial;
  const current = () => trial === trials;
  let shownAt = 0;
  const progress = (/** @type {import('./own-import.js').Progress} */ step) => {
    const now = performance.now();
    if (!current() || (step.stage !== 'checking' && now - shownAt < 100)) return;
    shownAt = now;
    byId('own-status').textContent = progressLine(step, source.name);
  };
  importOwn(source, root, { progress, abandoned: () => !current(), discard: true }).then((result) => {
    if (!current()) return;
    if (result.problem !== undefined) {
      show('"' + source.name + '" cannot be played: ' + result.problem + '.', true);
      return;
    }
    chosen = source;
    const n = result.lines.length;
    show(n === 0
      ? '"' + source.name + '" is ready: 3 data files and ' + result.tiles + ' tiles checked, nothing found.'
      : 'The check found ' + n + (n === 1 ? ' problem' : ' problems') + ' in "' + source.name +
        '". The game plays on with its defaults where they are (the overview shows "%%", numbers read 0).',
    false, result.lines, true);
    byId('own-play').focus();
  });
}

function playChosen() {
  const source = chosen;
  if (!source) return;
  keep.put(source).then(() => {
    localStorage.setItem(FLAG, source.name);
    location.reload();
  }).catch((error) => {
    show('The browser would not keep the files to play them (' + describe(error) + ').', true);
  });
}

/** @param {File} file @returns {Source} */
const zipSource = (file) => ({ kind: 'zip', name: file.name, files: [file] });

/**
 * A folder dropped onto the page: every file below it, with its path.
 * @param {FileSystemEntry} entry
 * @returns {Promise<{ path: string, file: File }[]>}
 */
function readDropped(entry) {
  if (entry.isFile) {
    return new Promise((resolve, reject) => /** @type {FileSystemFileEntry} */ (entry).file(resolve, reject))
      .then((file) => [{ path: entry.fullPath.replace(/^\/+/, ''), file: /** @type {File} */ (file) }]);
  }
  const reader = /** @type {FileSystemDirectoryEntry} */ (entry).createReader();
  /** @type {{ path: string, file: File }[]} */
  let found = [];
  /** @returns {Promise<{ path: string, file: File }[]>} */
  const more = () => new Promise((resolve, reject) => reader.readEntries(resolve, reject))
    .then((entries) => {
      const list = /** @type {FileSystemEntry[]} */ (entries);
      if (!list.length) return found;
      return Promise.all(list.map(readDropped)).then((lists) => {
        for (const files of lists) found = found.concat(files);
        return more();
      });
    });
  return more();
}

/** @param {DragEvent} event */
function dropped(event) {
  event.preventDefault();
  dialog.classList.remove('dropping');
  const items = event.dataTransfer && event.dataTransfer.items;
  const entry = items && items.length === 1 && typeof items[0].webkitGetAsEntry === 'function'
    ? items[0].webkitGetAsEntry() : null;
  if (entry && entry.isDirectory) {
    readDropped(entry).then((files) => tryOwn({ kind: 'folder', name: entry.name, files }),
                            (error) => show('The folder could not be read (' + describe(error) + ').', true));
  } else if (event.dataTransfer && event.dataTransfer.files.length === 1) {
    tryOwn(zipSource(event.dataTransfer.files[0]));
  } else {
    show('Drop one .zip or one folder.', true);
  }
}

/** The dialog's controls, and drops onto the page. */
export function ownControls() {
  const folder = /** @type {HTMLInputElement} */ (byId('own-folder'));
  const zip = /** @type {HTMLInputElement} */ (byId('own-zip'));
  byId('own-folder-line').hidden = !('webkitdirectory' in folder);
  byId('own-open').addEventListener('click', () => show(''));
  byId('own-close').addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', focusGame);
  // Keys typed in the dialog are the dialog's, never the game's.
  dialog.addEventListener('keydown', (event) => event.stopPropagation());
  zip.addEventListener('change', () => {
    if (zip.files && zip.files.length) tryOwn(zipSource(zip.files[0]));
    zip.value = '';
  });
  folder.addEventListener('change', () => {
    const files = Array.from(folder.files || [], (file) => ({ path: file.webkitRelativePath || file.name, file }));
    const name = files.length ? files[0].path.split('/')[0] : 'the folder';
    tryOwn({ kind: 'folder', name, files });
    folder.value = '';
  });
  byId('own-play').addEventListener('click', playChosen);
  byId('own-back').addEventListener('click', () => { forget().then(() => location.reload()); });
  document.addEventListener('dragover', (event) => {
    event.preventDefault();
    if (!dialog.open) show('');
    dialog.classList.add('dropping');
  });
  document.addEventListener('drop', dropped);
}

/** Closes the dialog (a recording dropped while it was open is watched instead). */
export function closeOwnDialog() {
  if (dialog.open) dialog.close();
}

/** @param {string} name */
function showPlaying(name) {
  playing = name;
  byId('own-name').textContent = playing;
  byId('own-playing').hidden = false;
}

/**
 * At the start, for a dungeon link: its files (a link's payload, unpacked)
 * are imported by the rules a zip's are and, when they can be played, kept
 * as the own data, which this page then plays as it would any own data. A
 * refusal leaves nothing of them behind and changes nothing kept.
 * @param {Uint8Array} bytes
 * @param {string} name
 * @returns {Promise<string>} '' when they play, else why not
 */
export function prepareLinked(bytes, name) {
  /** @type {Source} */
  const source = { kind: 'link', name, files: [new Blob([bytes])] };
  return importOwn(source, LINK_ROOT, { discardRefused: true }).then((result) => {
    if (result.problem !== undefined) return result.problem;
    root = LINK_ROOT;
    linked = bytes;
    showPlaying(name);
    // A browser that keeps nothing still plays it now.
    return keep.put(source).then(() => { localStorage.setItem(FLAG, name); }).catch(() => {}).then(() => '');
  });
}

/**
 * At the start: data chosen before is unpacked to play instead of the
 * shipped data; if it cannot be played now, it is forgotten and the shipped
 * game plays, with a note.
 * @returns {Promise<void>}
 */
export function prepareOwn() {
  /** @type {string | null} */
  let name = null;
  try { name = localStorage.getItem(FLAG); } catch (error) { /* no storage: the shipped data */ }
  if (!name) return Promise.resolve();
  /** @type {Source | undefined} */
  let kept;
  return keep.get().catch(() => undefined).then((source) => {
    if (!source) return { problem: 'the browser no longer keeps its files' };
    name = source.name;
    kept = source;
    return importOwn(source, ROOT);
  }).then(async (result) => {
    if (result.problem !== undefined) {
      forget();
      note('Your data "' + name + '" cannot be played: ' + result.problem + '. The shipped game plays.');
      return;
    }
    if (kept && kept.kind === 'link') linked = new Uint8Array(await kept.files[0].arrayBuffer());
    showPlaying(String(name));
  });
}
