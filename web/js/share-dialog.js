// Share…: a link to the watched game at the turn shown (share.js makes it),
// in a dialog with Copy and, where the browser has it, its own way to share.
// A game too long for a link is offered as its recording to download.
import { dataLink, describe } from './bridge.js';
import { dataLinkOf, toPayload } from './data-link.js';
import { linkedDungeon } from './own.js';
import { byId, focusGame } from './screen.js';
import { makeLink } from './share.js';
import { recordingFileName } from './watch-timeline.js';

const dialog = /** @type {HTMLDialogElement} */ (byId('share-dialog'));
const status = byId('share-status');
const field = /** @type {HTMLInputElement} */ (byId('share-link'));
const copy = byId('share-copy');
const send = byId('share-send');
const download = byId('share-download');

/** The page's own address, without a link's fragment or a seed. */
function pageAddress() {
  return location.origin + location.pathname;
}

/**
 * A game link with the dungeon it was played on before it, when the page
 * plays a dungeon from a link: elsewhere the game is watched on that dungeon.
 * @param {string} link
 * @returns {Promise<{ link: string, dungeon?: boolean } | { problem: string }>}
 */
async function withDungeon(link) {
  const dungeon = linkedDungeon();
  if (!dungeon) return { link };
  const made = await toPayload(dungeon, { maxChars: dataLink.maxChars(), maxUnpacked: dataLink.maxUnpacked() });
  if ('problem' in made) return { problem: 'its dungeon cannot go with it: ' + made.problem };
  return { link: dataLinkOf(pageAddress(), made.payload, link.slice(link.indexOf('#') + 1)), dungeon: true };
}

export function shareControls() {
  /** @type {{ name: string, bytes: Uint8Array, turn: number } | null} */
  let shown = null;
  let asked = 0;  // a link made for an earlier Share… is not shown for this one

  /** @param {string} text @param {string} link */
  function showLink(text, link) {
    status.textContent = text;
    field.value = link;
    byId('share-link-line').hidden = !link;
    copy.hidden = !link;
    send.hidden = !link || typeof navigator.share !== 'function';
  }

  /** @param {{ name: string, bytes: Uint8Array, turn: number }} watched */
  function open(watched) {
    shown = watched;
    const ask = ++asked;
    showLink('Making the link\u2026', '');
    download.hidden = true;
    if (!dialog.open) dialog.showModal();
    makeLink(pageAddress(), watched.bytes, watched.turn)
      .then((made) => ('link' in made ? withDungeon(made.link) : made))
      .catch((error) => ({ problem: describe(error) }))
      .then((made) => {
        if (ask !== asked || !dialog.open) return;
        if ('link' in made) {
          showLink('The link opens this game at turn ' + watched.turn + ('dungeon' in made ? ' on its dungeon' : '') +
                   ' in any browser.', made.link);
          field.focus();
          field.select();
        } else {
          showLink('No link can be made (' + made.problem + '). The recording can be downloaded ' +
                   'and sent instead: it is watched by opening it in Your games.', '');
          download.hidden = false;
          download.focus();
        }
      });
  }

  copy.addEventListener('click', () => {
    const done = () => { status.textContent = 'The link is copied.'; };
    const byHand = () => {
      field.focus();
      field.select();
      status.textContent = 'The browser would not copy it: it is selected, to copy by hand.';
    };
    if (navigator.clipboard && typeof navigator.clipboard.writeText === 'function') {
      navigator.clipboard.writeText(field.value).then(done, byHand);
    } else {
      byHand();
    }
  });
  send.addEventListener('click', () => {
    navigator.share({ title: 'A game of Delve', url: field.value }).catch(() => {});
  });
  download.addEventListener('click', () => {
    if (!shown) return;
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([shown.bytes], { type: 'application/octet-stream' }));
    link.download = recordingFileName(shown.name);
    document.body.appendChild(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  });
  byId('share-close').addEventListener('click', () => dialog.close());
  dialog.addEventListener('close', () => {
    shown = null;
    focusGame();
  });
  // Keys typed here are the dialog's, not the watcher's.
  dialog.addEventListener('keydown', (event) => event.stopPropagation());

  return { open };
}
