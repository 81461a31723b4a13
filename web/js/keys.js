// Keys and gamepads, handed to the program, which maps them to the game's
// keys as the window does.
import { keyDown, gamepad, running, PREVENT_DEFAULT, TOGGLE_FULLSCREEN } from './bridge.js';
import { canvas } from './screen.js';
import { toggleFullscreen } from './fullscreen.js';

/**
 * Buttons and other controls keep their own keys (Tab, Enter, Space).
 * @param {EventTarget | null} target
 */
function isControl(target) {
  return target instanceof Element && target !== canvas &&
    !!target.closest('button, a, input, select, textarea, summary, [contenteditable]');
}

document.addEventListener('keydown', (event) => {
  if (!running() || isControl(event.target)) return;
  const modifiers = (event.ctrlKey ? 1 : 0) | (event.altKey ? 2 : 0) | (event.metaKey ? 4 : 0) |
    (event.getModifierState && event.getModifierState('AltGraph') ? 8 : 0) | (event.repeat ? 16 : 0);
  const result = keyDown(event, modifiers);
  if (result & PREVENT_DEFAULT) event.preventDefault();
  if (result & TOGGLE_FULLSCREEN) toggleFullscreen();
});

// The browser sends no events for a gamepad's buttons, so the page looks at
// every connected pad once a frame, only while one is connected.
let polling = 0;
const STANDARD_PAD_BUTTONS = 16;

/** @param {Gamepad} pad @param {number} i */
function padValue(pad, i) {
  const button = pad.buttons[i];
  return button ? Number(button.value) || (button.pressed ? 1 : 0) : 0;
}

function pollPads() {
  polling = 0;
  const pads = navigator.getGamepads ? navigator.getGamepads() : [];
  let any = false;
  for (const pad of pads) {
    // Only the standard layout says which button is which.
    if (!pad || !pad.connected || pad.mapping !== 'standard') continue;
    any = true;
    let bits = 0;
    for (let b = 0; b < Math.min(pad.buttons.length, STANDARD_PAD_BUTTONS); b++) {
      if (pad.buttons[b] && pad.buttons[b].pressed) bits |= 1 << b;
    }
    gamepad(pad.index, bits >>> 0, padValue(pad, 6), padValue(pad, 7), pad.axes[0] || 0, pad.axes[1] || 0);
  }
  if (any) polling = requestAnimationFrame(pollPads);
}

function startPolling() {
  if (!polling) polling = requestAnimationFrame(pollPads);
}
window.addEventListener('gamepadconnected', startPolling);
window.addEventListener('gamepaddisconnected', (event) => {
  // Whatever it held when it went is let go.
  if (event.gamepad) gamepad(event.gamepad.index, 0, 0, 0, 0, 0);
  startPolling();
});
