// What the page tells of itself (window.Delve): the browser test reads it,
// and queueKey is how anything on the page (buttons, the seed link) gives the
// game a key, one key text, exactly as a key press would queue it.

/** The latest entries a list of times keeps. */
const KEPT_TIMES = 1000;

export const Delve = {
  /** @type {import('./states.js').State} */
  state: 'loading',
  presents: 0,        // pictures put on the canvas so far
  lastPresentAt: 0,   // performance.now() of the latest
  /** @type {number[]} ms from a key to the next picture, the latest 1000 */
  turnTimes: [],
  keys: 0,            // key presses queued so far, and when the latest came
  lastKeyAt: 0,
  waiting: false,     // the program waits for a key (it has taken every key before)
  /** @type {number[]} ms each kept batch took the page, the latest 1000 */
  keepTimes: [],
  keptPictures: 0,    // pictures of the game kept so far
  studioPreviews: 0,  // previews the studio has drawn
  /** @type {number[]} ms from a change in the studio to its preview drawn, the latest 1000 */
  studioTimes: [],
  /** @type {string[]} the data check's lines for the studio's work, as last checked */
  studioFindings: [],
  /** @type {import('./studio-against.js').CheckOutcome[]} the studio's checks against kept games, in order */
  studioChecks: [],
  /** @type {(text: string) => boolean} */
  queueKey: () => false,
};

/**
 * @param {number[]} list
 * @param {number} value
 */
export function addTime(list, value) {
  list.push(value);
  if (list.length > KEPT_TIMES) list.splice(0, list.length - KEPT_TIMES);
}

/** @type {any} */ (window).Delve = Delve;
