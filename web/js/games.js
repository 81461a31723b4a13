// The list of kept games (Continue, Watch, Download, Delete), and recordings
// made anywhere, opened or dropped onto the page, to watch.
import { dateOf, fileName } from './summary.js';
import { Delve } from './hooks.js';
import { byId, focusGame } from './screen.js';

/** @typedef {import('./summary.js').Game} Game */
/** @typedef {import('./carry.js').Next} Next */

const dialog = /** @type {HTMLDialogElement} */ (byId('games-dialog'));

/**
 * @param {string} label @param {string} title @param {() => void} act
 */
function button(label, title, act) {
  const made = document.createElement('button');
  made.type = 'button';
  made.textContent = label;
  made.setAttribute('aria-label', title);
  made.addEventListener('click', act);
  return made;
}

/**
 * @param {object} with_
 * @param {import('./kept-store.js').KeptStore} with_.store
 * @param {import('./kept.js').Keeper} with_.keeper
 * @param {(next: Next) => void} with_.launch
 * @param {() => void} with_.closeOwnDialog
 */
export function gamesControls({ store, keeper, launch, closeOwnDialog }) {
  const status = byId('games-status');

  function showList() {
    status.textContent = '';
    const current = keeper.current();
    store.list(current ? current.id : null).catch(() => []).then((games) => {
      const list = byId('games-list');
      list.textContent = '';
      for (const game of games) list.appendChild(item(game));
      byId('games-empty').hidden = games.length > 0;
      if (!dialog.open) dialog.showModal();
    });
  }

  /** @param {Game} game */
  function item(game) {
    const row = document.createElement('li');
    const d = dateOf(game.played);
    const line = document.createElement('span');
    line.textContent = d.day + ' ' + d.time + '  seed ' + game.seed + '  level ' + (game.level || '?') +
      '  turn ' + game.turn + (game.ended ? '  ' + game.ended : '') + (game.data ? '  on "' + game.data + '"' : '');
    const current = keeper.current();
    const playing = !!current && current.id === game.id && Delve.state === 'running';
    row.appendChild(line);
    const name = ' the game of ' + d.day + ' ' + d.time + ', seed ' + game.seed;
    const go = button('Continue', 'Continue' + name, () => launch({ action: 'continue', id: game.id }));
    go.disabled = playing;
    row.appendChild(go);
    row.appendChild(button('Watch', 'Watch' + name,
      () => launch({ action: 'watch', id: game.id, name: 'the game of ' + d.day + ' ' + d.time })));
    row.appendChild(button('Download', 'Download' + name, () => download(game)));
    const remove = button('Delete', 'Delete' + name, () => {
      store.lock(game.id).then((held) => {
        if (held) return store.remove(game.id).then(showList);
        status.textContent = 'That game is being played in another page.';
      }).catch(() => { status.textContent = 'The browser would not delete it.'; });
    });
    remove.disabled = playing;
    row.appendChild(remove);
    return row;
  }

  /** @param {Game} game */
  function download(game) {
    store.read(game.id).then((bytes) => {
      const link = document.createElement('a');
      link.href = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
      link.download = fileName(game);
      document.body.appendChild(link);
      link.click();
      link.remove();
      setTimeout(() => URL.revokeObjectURL(link.href), 60000);
    });
  }

  /**
   * A recording from anywhere: watched.
   * @param {File} file
   */
  function open(file) {
    file.arrayBuffer().then((buffer) => launch({ action: 'watch-file', name: file.name, bytes: new Uint8Array(buffer) }));
  }

  byId('games-open').addEventListener('click', showList);
  byId('choose-games').addEventListener('click', showList);
  byId('choose-new').addEventListener('click', () => launch({ action: 'new' }));
  byId('games-close').addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', focusGame);
  dialog.addEventListener('keydown', (event) => event.stopPropagation());
  const input = /** @type {HTMLInputElement} */ (byId('games-file'));
  input.addEventListener('change', () => {
    if (input.files && input.files.length) open(input.files[0]);
    input.value = '';
  });
  // A .rec dropped anywhere is a recording to watch, not data to play.
  window.addEventListener('drop', (event) => {
    const files = event.dataTransfer && event.dataTransfer.files;
    if (!files || files.length !== 1 || !/\.rec$/i.test(files[0].name)) return;
    event.preventDefault();
    event.stopPropagation();
    closeOwnDialog();
    open(files[0]);
  }, true);

  return {
    close: () => { if (dialog.open) dialog.close(); },
    /** @param {string} text */
    say: (text) => { status.textContent = text; },
  };
}
