// The page's start-up, one state at a time, every state and the events that
// leave it written here and nowhere else. The page's views follow the state
// (screen.js), and window.Delve.state tells it.
//
//   loading ──ready──▶ preparing ──offer──▶ choosing ──launch──▶ starting ──attached──▶ running ──ended──▶ ended
//                          └────────────launch───────────────────────▲ │
//                                               choosing ◀──offer────┘ (the game is another page's)
//   any state but failed ──fail──▶ failed
//
// loading:   delve.js, delve.wasm and delve.data come.
// preparing: the program is ready; a player's own data is unpacked, the kept
//            games are listed and the choice carried over a reload is read.
// choosing:  Continue or New game is on offer.
// starting:  the program's main is called and its first picture not drawn yet.
// running:   a game is played, or a recording watched.
// ended:     the program has returned (Play again loads the page afresh).
// failed:    the page cannot play; it says why.

/** @typedef {'loading' | 'preparing' | 'choosing' | 'starting' | 'running' | 'ended' | 'failed'} State */
/** @typedef {'ready' | 'offer' | 'launch' | 'attached' | 'ended' | 'fail'} Event */

/** @type {Record<State, Partial<Record<Event, State>>>} */
export const TRANSITIONS = {
  loading: { ready: 'preparing', fail: 'failed' },
  preparing: { offer: 'choosing', launch: 'starting', fail: 'failed' },
  choosing: { launch: 'starting', offer: 'choosing', fail: 'failed' },
  starting: { attached: 'running', offer: 'choosing', fail: 'failed' },
  running: { ended: 'ended', fail: 'failed' },
  ended: { fail: 'failed' },
  failed: {},
};

/**
 * A machine in `initial`, calling `entered` on every step it takes. An event
 * its state does not take is refused (false) and changes nothing.
 * @param {State} initial
 * @param {(to: State, from: State, event: Event) => void} entered
 */
export function createMachine(initial, entered) {
  let state = initial;
  return {
    state: () => state,
    /** @param {Event} event */
    can: (event) => TRANSITIONS[state][event] !== undefined,
    /** @param {Event} event */
    step(event) {
      const to = TRANSITIONS[state][event];
      if (to === undefined) return false;
      const from = state;
      state = to;
      entered(to, from, event);
      return true;
    },
  };
}

/** @typedef {ReturnType<typeof createMachine>} Machine */
