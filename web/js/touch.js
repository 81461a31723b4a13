// Touch: the controls, shown only on a touch screen, and a click or tap on
// the map, which walks there (the program decides).
import { click, running, queueKey } from './bridge.js';
import { Delve } from './hooks.js';
import { byId, canvas, stage, layout } from './screen.js';

canvas.addEventListener('pointerdown', (event) => {
  if (!running() || !event.isPrimary || event.button !== 0) return;
  const area = stage.getBoundingClientRect();
  click(event.clientX - area.left, event.clientY - area.top, stage.clientWidth, stage.clientHeight,
        window.devicePixelRatio || 1);
});

const panel = byId('touch');
const coarse = window.matchMedia ? window.matchMedia('(pointer: coarse)') : null;

/** @param {boolean} on */
function showTouch(on) {
  if (document.body.classList.contains('touch') === on) return;
  document.body.classList.toggle('touch', on);
  panel.hidden = !on;
  layout();
}

function checkTouch() {
  showTouch(!!(coarse && coarse.matches) || navigator.maxTouchPoints > 0);
}
if (coarse && coarse.addEventListener) coarse.addEventListener('change', checkTouch);
// A touch anywhere also tells: some screens report no touch until used.
document.addEventListener('pointerdown', (event) => {
  if (event.pointerType === 'touch') showTouch(true);
}, true);
checkTouch();

panel.addEventListener('click', (event) => {
  const button = event.target instanceof Element ? event.target.closest('button[data-key]') : null;
  if (!button) return;
  queueKey(button.getAttribute('data-key') || '');
  // A tap leaves a keyboard (if any) with the game; a key that activated
  // the button keeps its focus, for players who move through the buttons.
  if (event.detail > 0 && Delve.state === 'running') canvas.focus();
});
// No double-tap zoom, long-press menu or scrolling from the buttons.
panel.addEventListener('touchstart', (event) => {
  if (event.touches.length > 1) event.preventDefault();
}, { passive: false });
panel.addEventListener('contextmenu', (event) => event.preventDefault());
