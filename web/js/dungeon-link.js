// The page's half of dungeon links (data-link.js carries the bytes): Share…
// in the studio makes one of a work, and a page opened on one plays that
// dungeon. What a link's files may be is the program's to decide, by the
// import a zip goes through, so a hostile link is refused as a hostile zip
// is, in one note, and nothing kept changes.
import { dataLink, own, describe } from './bridge.js';
import { dataLinkOf, dataParameter, dungeonName, fromPayload, toPayload } from './data-link.js';
import { prepareLinked } from './own.js';

/** @typedef {Map<string, Uint8Array>} Work  paths below the data folder ("res/gamedata.dat") to bytes */

const limits = () => ({ maxChars: dataLink.maxChars(), maxUnpacked: dataLink.maxUnpacked() });

/** The page's own address, without a fragment or a query. */
const pageBase = () => location.origin + location.pathname;

/**
 * Why the import would refuse the packed work ('' when it would take it):
 * read and planned as an opened link is, without writing a file.
 * @param {Uint8Array} packed
 */
function refusalOf(packed) {
  const job = own.begin('/dungeon-share-check');
  try {
    if (!own.link(job, packed) || own.plan(job) < 0) return own.problem(job);
    return '';
  } finally {
    own.end(job);
  }
}

/**
 * Share…: a link that carries the whole work, or the reason there is none.
 * A game link's parameters ("watch=...&turn=N") go after it when given: a
 * game played on that dungeon.
 * @param {Work} work
 * @param {string} [game]
 * @returns {Promise<{ link: string } | { problem: string }>}
 */
export async function shareWork(work, game) {
  try {
    const packed = dataLink.pack(work);
    const problem = refusalOf(packed);
    if (problem) return { problem: 'the dungeon cannot be shared: ' + problem };
    const made = await toPayload(packed, limits());
    if ('problem' in made) return made;
    return { link: dataLinkOf(pageBase(), made.payload, game) };
  } catch (error) {
    return { problem: 'the dungeon could not be packed (' + describe(error) + ')' };
  }
}

/**
 * At the start, with a dungeon in the address: its files in place to play,
 * kept as the own data is. '' when it plays, else the note's reason.
 * @param {string} href
 * @returns {Promise<string>}
 */
export async function openDungeonLink(href) {
  try {
    const opened = await fromPayload(dataParameter(href) || '', limits());
    if ('problem' in opened) return opened.problem;
    return await prepareLinked(opened.bytes, dungeonName(opened.bytes));
  } catch (error) {
    return 'it could not be read (' + describe(error) + ')';
  }
}
