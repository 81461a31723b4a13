// Full screen: Alt+Enter (the program asks for it) or the bar's button.
import { byId, stage, note, layout, focusGame } from './screen.js';

export function toggleFullscreen() {
  // With touch controls the whole page goes full screen: a phone has no
  // keys, so the controls and the button that leaves must stay in view.
  const target = document.body.classList.contains('touch') ? document.documentElement : stage;
  /** @type {any} */
  const d = document;
  /** @type {any} */
  const t = target;
  const request = t.requestFullscreen || t.webkitRequestFullscreen;
  const exit = d.exitFullscreen || d.webkitExitFullscreen;
  const current = d.fullscreenElement || d.webkitFullscreenElement;
  const done = current ? exit.call(d) : request ? request.call(t) : null;
  if (!current && !request) note('Full screen is not available in this browser.');
  if (done && done.catch) done.catch(() => note('The browser did not allow full screen.'));
  focusGame();
}

/** Leaves full screen, when the game ends. */
export function leaveFullscreen() {
  if (document.fullscreenElement && document.exitFullscreen) document.exitFullscreen().catch(() => {});
}

byId('fullscreen').addEventListener('click', toggleFullscreen);
document.addEventListener('fullscreenchange', () => {
  layout();
  focusGame();
});
