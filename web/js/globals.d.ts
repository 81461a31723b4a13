// What the page uses of the browser that older TypeScript libraries lack.
declare class DecompressionStream {
  constructor(format: 'deflate' | 'deflate-raw' | 'gzip');
  readonly readable: ReadableStream<Uint8Array>;
  readonly writable: WritableStream<BufferSource>;
}
declare class CompressionStream {
  constructor(format: 'deflate' | 'deflate-raw' | 'gzip');
  readonly readable: ReadableStream<Uint8Array>;
  readonly writable: WritableStream<BufferSource>;
}

// The watch bar's side of the program's watching (web/js/watch-bar.js says
// when each is called). Set by the page while a recording is watched.
/** The program tells the timeline after every change of it; null: no longer watching. */
declare var delveTimeline: ((timeline: import('./watch-timeline.js').ReportedTimeline | null) => void) | undefined;
/** The program plays on from the turn shown: the page keeps the new game. */
declare var delvePlayingOn: (() => void) | undefined;
/** The program takes the turn the player chose on the page: 1..lastTurn, or 0 for none. */
declare var delveTakeChosenTurn: (() => number) | undefined;

