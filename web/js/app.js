// The page as an app: sw.js keeps one whole version of the page's files for
// play without a network. A new version takes over as soon as it is kept
// whole; a page still loading then starts again on it (never half one
// version, half the other), and a running game plays on and the next one
// starts on the new version.
import { describe } from './bridge.js';
import { Delve } from './hooks.js';
import { note } from './screen.js';

export function keepForOffline() {
  if (!('serviceWorker' in navigator) || !window.isSecureContext) return;
  let loadedWithWorker = !!navigator.serviceWorker.controller;
  navigator.serviceWorker.addEventListener('controllerchange', () => {
    // The first visit: the page came from the network and is the version just kept.
    if (!loadedWithWorker) {
      loadedWithWorker = true;
      return;
    }
    if (Delve.state === 'loading') location.reload();
    else note('A new version of Delve is ready: the next game starts on it.');
  });
  // Once the page's own scripts have come, while the game is still loading:
  // the worker fetches and checks the files on its own thread, and the game
  // waiting for a key is left in peace.
  const register = () => {
    navigator.serviceWorker.register('sw.js', { updateViaCache: 'none' }).catch((error) => {
      console.warn('Delve will not be kept for play without a network: ' + describe(error));
    });
  };
  if (document.readyState === 'complete') register();
  else window.addEventListener('load', register);
}
