// What the player sees of the game: the canvas, placed in the stage as the
// program decides; the views that stand in for it (loading, failed, ended,
// the choice); the bar's note; and the reports read out to screen readers.
import { place, placeable } from './bridge.js';
import { Delve } from './hooks.js';

/** @param {string} id */
export const byId = (id) => /** @type {HTMLElement} */ (document.getElementById(id));

const stage = byId('stage');
export const canvas = /** @type {HTMLCanvasElement} */ (byId('screen'));
const context = /** @type {CanvasRenderingContext2D} */ (canvas.getContext('2d', { alpha: false }));

let drawn = false;  // the program has shown its first picture

/**
 * What the page is and that it loads, from the markup on, until the
 * program's first picture is on the canvas (a running game's canvas stays
 * under it until then, so keys and focus are the game's already).
 * @param {import('./states.js').State} state
 */
function showLoading(state) {
  const loading = state === 'loading' || state === 'preparing' || state === 'starting' || (state === 'running' && !drawn);
  byId('loading').hidden = !loading;
  if (loading && state !== 'loading') byId('loading-text').textContent = 'Starting\u2026';
}

/** The program's first picture is on the canvas. */
export function showDrawn() {
  drawn = true;
  showLoading(Delve.state);
}

/**
 * The views that go with a state of the start-up (states.js): the loading
 * view while the program loads, the data is prepared and the game starts,
 * the choice while it is offered, the canvas while the game runs.
 * @param {import('./states.js').State} state
 */
export function showState(state) {
  Delve.state = state;
  canvas.hidden = state !== 'running';
  showLoading(state);
  byId('failed').hidden = state !== 'failed';
  byId('ended').hidden = state !== 'ended';
  byId('choose').hidden = state !== 'choosing';
}

/**
 * A line in the bar; '' takes it away.
 * @param {string} text
 */
export function note(text) {
  const line = byId('note');
  line.textContent = text;
  line.hidden = !text;
}

/** @param {string} text */
export function showFailure(text) {
  if (location.protocol === 'file:') {
    text += ' The page must be opened from a web server: scripts/web --serve starts one.';
  }
  byId('failed-text').textContent = text;
}

/** The game takes the keys again, when it runs. */
export function focusGame() {
  if (Delve.state === 'running') canvas.focus();
}

const progress = { wasm: [0, 0], data: [0, 0] };
/**
 * @param {'wasm' | 'data'} part
 * @param {number} loaded
 * @param {number} total
 */
export function showProgress(part, loaded, total) {
  progress[part] = [loaded, total];
  const all = progress.wasm[0] + progress.data[0];
  const whole = progress.wasm[1] + progress.data[1];
  if (whole > 0) {
    /** @type {HTMLProgressElement} */ (byId('progress')).value = Math.min(all / whole, 1);
    byId('loading-text').textContent = Math.round(all / 1024) + ' of ' + Math.round(whole / 1024) + ' KB';
  }
}

/** The canvas, centred and following the window. */
export function layout() {
  // Nothing to place before the program runs; reading the stage's size
  // would make the browser lay out the page in the middle of its start.
  if (!placeable()) return;
  const at = place(stage.clientWidth, stage.clientHeight, window.devicePixelRatio || 1, canvas.width, canvas.height);
  if (!at || !canvas.width || !canvas.height) return;
  canvas.style.left = at.left + 'px';
  canvas.style.top = at.top + 'px';
  canvas.style.width = at.width + 'px';
  canvas.style.height = at.height + 'px';
  canvas.style.imageRendering = at.smooth ? 'auto' : 'pixelated';
}

/** @type {import('./bridge.js').PageHandlers['show']} */
export function show(rgba, width, height, changedX, changedY, changedWidth, changedHeight) {
  // --- speed: a resized canvas is blank and takes the whole picture;
  // otherwise only the rectangle that changed is put on it ---
  const resized = canvas.width !== width || canvas.height !== height;
  const whole = resized || changedWidth === undefined;
  if (resized) {
    canvas.width = width;
    canvas.height = height;
    layout();
  }
  if (width > 0 && height > 0 && (whole || (Number(changedWidth) > 0 && Number(changedHeight) > 0))) {
    const picture = new ImageData(rgba, width, height);
    if (whole) context.putImageData(picture, 0, 0);
    else context.putImageData(picture, 0, 0, Number(changedX), Number(changedY), Number(changedWidth), Number(changedHeight));
  }
  // --- end speed ---
}

const reports = byId('reports');
const REPORTS_KEPT = 5;
/**
 * One of the message panel's reports, as text for screen readers. Each is a
 * new line of the log, so the same report twice is announced twice.
 * @param {string} text
 */
export function report(text) {
  const line = document.createElement('p');
  line.textContent = text;
  reports.appendChild(line);
  while (reports.childNodes.length > REPORTS_KEPT) reports.removeChild(/** @type {Node} */ (reports.firstChild));
}

if (window.ResizeObserver) new ResizeObserver(layout).observe(stage);
window.addEventListener('resize', layout);  // also a change of zoom
canvas.addEventListener('mousedown', () => canvas.focus());

export { stage };
