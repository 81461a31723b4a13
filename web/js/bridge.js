// The bridge to the program: the only module that touches Module. It loads
// delve.js (which loads delve.wasm and delve.data), hands the program texts,
// bytes, keys and clicks, and passes on what the program asks of the page
// (Module.page, called from web_backend.cpp and kept_backend.cpp). Every
// allocation in the program's memory is checked: one refused throws, and the
// caller's refusal path (a note, a problem shown) takes it from there.
import { Delve, addTime } from './hooks.js';
import { instantiateWithProgress } from './fetch-progress.js';

/**
 * What the page does for the program.
 * @typedef {object} PageHandlers
 * @property {() => void} attached       the program runs and takes keys
 * @property {(rgba: Uint8ClampedArray, width: number, height: number, x?: number, y?: number,
 *             changedWidth?: number, changedHeight?: number) => void} show
 * @property {(title: string) => void} setTitle
 * @property {(text: string) => void} report
 * @property {() => void} ended
 * @property {(offset: number, bytes: Uint8Array) => void} keep
 * @property {(bytes: Uint8Array) => void} keepPicture
 * @property {(text: string) => void} problem
 * @property {(part: 'wasm' | 'data', loaded: number, total: number) => void} progress
 * @property {(text: string) => void} failed
 * @property {() => void} ready          the program is loaded and waits for its arguments
 * @property {() => void} drawn          the program waits for the first time: its first picture is shown
 */

/** @type {any} the program's module, once load() has made it */
let M = null;
let backend = 0;     // the program's backend, while it runs
let scratch = 0;     // program memory for the key texts handed to it
const SCRATCH_BYTES = 256;
let placement = 0;   // program memory for the canvas placement
/** @type {(() => void) | null} */
let wakeUp = null;   // resolves the program's wait for a key
let wakeTimer = 0;
/** @type {MessageChannel | null} */
let lookChannel = null;  // a wait of no time ends on its message (made at the first)
/** @type {(() => void) | null} */
let lookWaiter = null;   // the wait it wakes, unless a key woke it first
/** @type {number[]} */
let keysAt = [];     // when the keys since the last picture were queued
let drawn = false;   // the program has waited for a key (or polled) once
/** @type {() => void} */
let runtimeResolve = () => {};

/**
 * Program memory for `bytes` bytes.
 * @param {number} bytes
 * @returns {number}
 */
function alloc(bytes) {
  const at = M._malloc(Math.max(bytes, 1));
  if (!at) throw new Error('the game has no memory left for ' + bytes + ' bytes');
  return at;
}

/**
 * Runs `use` with `text` in the program's memory.
 * @template T @param {string} text @param {(at: number) => T} use @returns {T}
 */
function withText(text, use) {
  const size = 4 * text.length + 1;
  const at = alloc(size);
  try {
    M.stringToUTF8(text, at, size);
    return use(at);
  } finally {
    M._free(at);
  }
}

/**
 * Runs `use` with a copy of `bytes` in the program's memory.
 * @template T @param {Uint8Array} bytes @param {(at: number) => T} use @returns {T}
 */
function withBytes(bytes, use) {
  const at = alloc(bytes.length);
  try {
    M.HEAPU8.set(bytes, at);
    return use(at);
  } finally {
    M._free(at);
  }
}

/** @param {number} at @param {number} count */
function doubles(at, count) {
  return Array.from({ length: count }, (_, i) => M.getValue(at + 8 * i, 'double'));
}

function wake() {
  clearTimeout(wakeTimer);
  wakeTimer = 0;
  const resolve = wakeUp;
  wakeUp = null;
  Delve.waiting = false;
  if (resolve) resolve();
}

/** @param {number} at when the key came */
function keyQueued(at) {
  keysAt.push(at);
  Delve.keys++;
  Delve.lastKeyAt = at;
  wake();
}

export const running = () => backend !== 0;

/** Whether the canvas can be placed (place): the program has started. */
export const placeable = () => placement !== 0;

/** The page has failed: nothing more goes to the program. */
export function stop() {
  backend = 0;
}

/** @param {string} text one key text, as a key press queues it */
export function queueText(text) {
  if (!backend || typeof text !== 'string' || !text) return false;
  M.stringToUTF8(text, scratch, SCRATCH_BYTES);
  M._delve_web_queue_key(backend, scratch);
  return true;
}

/** @param {string} text */
export function queueKey(text) {
  if (!queueText(text)) return false;
  keyQueued(performance.now());
  return true;
}

export const QUEUED = 1, PREVENT_DEFAULT = 2, TOGGLE_FULLSCREEN = 4;

/**
 * A key pressed; what the program made of it (the bits above).
 * @param {{ key: string, code: string, timeStamp: number }} event
 * @param {number} modifiers
 */
export function keyDown(event, modifiers) {
  if (!backend) return 0;
  const key = scratch, code = scratch + SCRATCH_BYTES;
  M.stringToUTF8(event.key || '', key, SCRATCH_BYTES);
  M.stringToUTF8(event.code || '', code, SCRATCH_BYTES);
  const result = M._delve_web_key_down(backend, key, code, modifiers);
  if (result & QUEUED) {
    const now = performance.now();
    keyQueued(event.timeStamp > 0 && event.timeStamp <= now ? event.timeStamp : now);
  }
  return result;
}

/**
 * A key pressed by a control of the page (the watch bar): given to the
 * program exactly as the keyboard's key of that name and code would be.
 * @param {string} key @param {string} code
 */
export function pressKey(key, code) {
  return keyDown({ key, code, timeStamp: 0 }, 0);
}

/**
 * Wakes the program from its wait for a key without giving it one: the page
 * has something else for it to take (a turn chosen on the watch bar).
 */
export function nudge() {
  if (backend) wake();
}

/**
 * A gamepad's state; the program maps it to keys as the window does.
 * @param {number} index @param {number} bits @param {number} leftTrigger
 * @param {number} rightTrigger @param {number} x @param {number} y
 */
export function gamepad(index, bits, leftTrigger, rightTrigger, x, y) {
  if (!backend) return;
  const queued = M._delve_web_gamepad(backend, index, bits, leftTrigger, rightTrigger, x, y);
  for (let i = 0; i < queued; i++) keyQueued(performance.now());
}

/**
 * A click or tap on the stage at (x, y); the program decides whether it walks.
 * @param {number} x @param {number} y @param {number} width @param {number} height @param {number} ratio
 */
export function click(x, y, width, height, ratio) {
  if (backend && M._delve_web_click(backend, x, y, width, height, ratio)) wake();
}

/**
 * Where the canvas goes in a stage of the given size (placeCanvas decides),
 * or null before the program runs.
 * @param {number} stageWidth @param {number} stageHeight @param {number} ratio
 * @param {number} width @param {number} height
 */
export function place(stageWidth, stageHeight, ratio, width, height) {
  if (!placement) return null;
  M._delve_web_place_canvas(stageWidth, stageHeight, ratio, width, height, placement);
  const [left, top, shownWidth, shownHeight, smooth] = doubles(placement, 5);
  return { left, top, width: shownWidth, height: shownHeight, smooth: !!smooth };
}

/** @param {string[]} args */
export function callMain(args) {
  M.callMain(args);
}

// --- the studio: its work in the program's file system, checked and drawn there
/** @type {Promise<void>} */
const runtimeUp = new Promise((resolve) => { runtimeResolve = resolve; });

/**
 * Program memory handed back by the program (malloc'd there) with its size
 * in `out`: copied out, then freed.
 * @param {number} at @param {number} size @returns {Uint8Array}
 */
function takeBytes(at, size) {
  try {
    return M.HEAPU8.slice(at, at + size);
  } finally {
    M._free(at);
  }
}

export const studio = {
  /** Resolves once the program's runtime (and its file system, the shipped data in it) is up. */
  loaded: () => runtimeUp,
  /**
   * Every file below `root`, as paths relative to it.
   * @param {string} root @returns {string[]}
   */
  list(root) {
    const text = withText(root, (at) => M.UTF8ToString(M._delve_web_studio_list(at)));
    return text ? text.split('\n') : [];
  },
  /**
   * A file's bytes, or null when it cannot be read.
   * @param {string} path @returns {Uint8Array | null}
   */
  read(path) {
    const out = alloc(8);
    try {
      const at = withText(path, (name) => M._delve_web_studio_read(name, out));
      return at ? takeBytes(at, M.getValue(out, 'double')) : null;
    } finally {
      M._free(out);
    }
  },
  /**
   * Makes `root` hold exactly the files of `work` (folders made as needed,
   * files not in it removed); false when the program could not write one.
   * @param {string} root @param {Map<string, Uint8Array>} work
   */
  write(root, work) {
    if (!withText(root, (at) => M._delve_web_studio_clear(at))) return false;
    for (const [path, bytes] of work) {
      const put = withText(root, (folder) => withText(path, (name) => withBytes(bytes,
        (at) => M._delve_web_studio_put(folder, name, at, bytes.length))));
      if (!put) return false;
    }
    return true;
  },
  /**
   * The data check of the folder at `root`: how many tiles it checked and
   * its findings, one line each, as the desktop's check prints them; or
   * why the folder cannot be checked at all.
   * @param {string} root
   * @returns {{ problem: string } | { problem?: undefined, tiles: number, lines: string[] }}
   */
  check(root) {
    const report = withText(root, (at) => M.UTF8ToString(M._delve_web_studio_check(at))).split('\n');
    if (report[0].charAt(0) === '!') return { problem: report[0].slice(1) };
    return { tiles: Number(report[0]), lines: report.slice(1) };
  },
  /**
   * The first level of `seed` on the data at `root`, drawn by the program
   * without a window: the visible page's colour indices and its palette
   * (RGB triples); null when it could not be drawn.
   * @param {string} root @param {string} seed  digits, as delve-replay's --seed takes them
   * @returns {{ width: number, height: number, pixels: Uint8Array, palette: Uint8Array } | null}
   */
  preview(root, seed) {
    const out = alloc(4 * 8);
    try {
      const at = withText(root, (folder) => withText(seed, (digits) => M._delve_web_studio_preview(folder, digits, out)));
      if (!at) return null;
      const [width, height, paletteAt, colours] = doubles(out, 4);
      const pixels = takeBytes(at, width * height);
      return { width, height, pixels, palette: M.HEAPU8.slice(paletteAt, paletteAt + 3 * colours) };
    } finally {
      M._free(out);
    }
  },
  /**
   * A tile file's bytes as the game loads them: the picture (doubled, as the
   * game draws it) in palette indices, a row at a time; null when the bytes
   * are not a tile file.
   * @param {Uint8Array} bytes
   * @returns {{ width: number, height: number, pixels: Uint8Array } | null}
   */
  tile(bytes) {
    const out = alloc(2 * 8);
    try {
      const at = withBytes(bytes, (from) => M._delve_web_studio_tile(from, bytes.length, out));
      if (!at) return null;
      const [width, height] = doubles(out, 2);
      return { width, height, pixels: takeBytes(at, width * height) };
    } finally {
      M._free(out);
    }
  },
  /**
   * Starts playing a recording on the data at `root`, its checkpoints
   * checked as delve-replay --recording checks them, stopping after
   * `lastFrame` frames (0: at its end). The job, with the recording's last
   * turn and the digest of the data it was played on; or why the bytes are
   * no recording.
   * @param {string} root @param {Uint8Array} bytes @param {number} lastFrame
   * @returns {{ job: number, lastTurn: number, digest: string, problem?: undefined } | { job: 0, problem: string }}
   */
  replayStart(root, bytes, lastFrame) {
    const out = alloc(8);
    try {
      const job = withText(root, (folder) => withBytes(bytes,
        (at) => M._delve_web_studio_replay_start(folder, at, bytes.length, lastFrame, out)));
      const text = M.UTF8ToString(M._delve_web_studio_replay_text());
      if (!job) return { job: 0, problem: text };
      return { job, lastTurn: M.getValue(out, 'double'), digest: text };
    } finally {
      M._free(out);
    }
  },
  /**
   * Plays up to `frames` more frames of the job: where it is, and once it
   * has ended how ('matched', 'differs' with delve-replay's line, or
   * 'stopped' at the frame asked for).
   * @param {number} job @param {number} frames
   * @returns {{ ended: '' | 'matched' | 'differs' | 'stopped', turn: number, frames: number, message: string }}
   */
  replayStep(job, frames) {
    const out = alloc(2 * 8);
    try {
      const code = M._delve_web_studio_replay_step(job, frames, out);
      const [turn, shown] = doubles(out, 2);
      if (code < 0) throw new Error('the check was ended');
      const ended = /** @type {const} */ (['', 'matched', 'differs', 'stopped'])[code];
      return { ended, turn, frames: shown, message: code > 0 ? M.UTF8ToString(M._delve_web_studio_replay_text()) : '' };
    } finally {
      M._free(out);
    }
  },
  /**
   * What the job's game shows now, as the preview gives it; null when nothing.
   * @param {number} job
   * @returns {{ width: number, height: number, pixels: Uint8Array } | null}
   */
  replayPage(job) {
    const out = alloc(2 * 8);
    try {
      const at = M._delve_web_studio_replay_page(job, out);
      if (!at) return null;
      const [width, height] = doubles(out, 2);
      return { width, height, pixels: takeBytes(at, width * height) };
    } finally {
      M._free(out);
    }
  },
  /** @param {number} job */
  replayEnd: (job) => { M._delve_web_studio_replay_end(job); },
  /** The digest a recording names the data at `root` by. @param {string} root @returns {string} */
  digest: (/** @type {string} */ root) => withText(root, (at) => M.UTF8ToString(M._delve_web_studio_digest(at))),
  /** The palette every picture of the game is drawn in, RGB triples. @returns {Uint8Array} */
  palette() {
    const out = alloc(8);
    try {
      const at = M._delve_web_studio_palette(out);
      return M.HEAPU8.slice(at, at + 3 * M.getValue(out, 'double'));
    } finally {
      M._free(out);
    }
  },
};

/**
 * A file into the program's file system (a recording for it to play on or
 * watch, or its picture); false when the program could not take it.
 * @param {string} path @param {Uint8Array} bytes
 */
export function putFile(path, bytes) {
  return withText(path, (name) => withBytes(bytes, (at) => M._delve_web_kept_put(name, at, bytes.length) === 1));
}

// --- a player's own data: the program decides, the page fetches bytes -------
export const own = {
  /** @param {string} root */
  begin: (root) => /** @type {number} */ (withText(root, (at) => M._delve_web_own_begin(at))),
  /** @param {number} job */
  end: (job) => M._delve_web_own_end(job),
  /** @param {number} job  a try, once checked: its files go @returns {boolean} false when some are left */
  remove: (job) => !!M._delve_web_own_remove(job),
  /**
   * A zip's last bytes; where its listing is, or null when it cannot be read.
   * @param {number} job @param {Uint8Array} tail @param {number} fileSize
   */
  zipEnd(job, tail, fileSize) {
    const out = alloc(2 * 8);
    try {
      if (!withBytes(tail, (at) => M._delve_web_own_zip_end(job, at, tail.length, fileSize, out))) return null;
      const [at, size] = doubles(out, 2);
      return { at, size };
    } finally {
      M._free(out);
    }
  },
  /** @param {number} job @param {Uint8Array} bytes @returns {number} how many entries, or -1 */
  zipEntries: (job, bytes) => withBytes(bytes, (at) => M._delve_web_own_zip_entries(job, at, bytes.length)),
  /** @param {number} job @param {number} index @returns {number} where the entry's header is */
  zipHeaderAt: (job, index) => M._delve_web_own_zip_header_at(job, index),
  /** @param {number} job @param {number} index @param {Uint8Array} bytes @returns {boolean} */
  zipHeader: (job, index, bytes) => !!withBytes(bytes, (at) => M._delve_web_own_zip_header(job, index, at, bytes.length)),
  /** @param {number} job @param {string} path @param {number} size */
  addFile: (job, path, size) => withText(path, (at) => M._delve_web_own_add_file(job, at, size)),
  /** @param {number} job @param {Uint8Array} bytes  a dungeon link's, unpacked @returns {boolean} */
  link: (job, bytes) => !!withBytes(bytes, (at) => M._delve_web_own_link(job, at, bytes.length)),
  /** @param {number} job  once planned: every file taken from the link @returns {boolean} */
  linkStore: (job) => !!M._delve_web_own_link_store(job),
  /** @param {number} job @returns {number} how many files to take, or -1 */
  plan: (job) => M._delve_web_own_plan(job),
  /** @param {number} job @param {number} k */
  taken(job, k) {
    const out = alloc(5 * 8);
    try {
      M._delve_web_own_taken(job, k, out);
      const [index, method, offset, packed, size] = doubles(out, 5);
      return { index, method, offset, packed, size };
    } finally {
      M._free(out);
    }
  },
  /** @param {number} job @param {number} k @param {Uint8Array} bytes @returns {boolean} */
  store: (job, k, bytes) => !!withBytes(bytes, (at) => M._delve_web_own_store(job, k, at, bytes.length)),
  /** @param {number} job @returns {string} */
  problem: (job) => M.UTF8ToString(M._delve_web_own_problem(job)),
  /** @param {number} job @returns {string} */
  check: (job) => M.UTF8ToString(M._delve_web_own_check(job)),
};

// --- dungeon links: the program packs and reads them, the page deflates ------
export const dataLink = {
  /** The most characters a link's data parameter may have. */
  maxChars: () => M._delve_web_data_link_limit(0),
  /** The most bytes a link's payload may unpack to. */
  maxUnpacked: () => M._delve_web_data_link_limit(1),
  /**
   * A work's files packed as a link carries them, in order of path.
   * @param {Map<string, Uint8Array>} files
   * @returns {Uint8Array}
   */
  pack(files) {
    const page = M._delve_web_data_pack_begin();
    const size = alloc(8);
    try {
      for (const [path, bytes] of files) {
        withText(path, (name) => withBytes(bytes, (at) => M._delve_web_data_pack_add(page, name, at, bytes.length)));
      }
      const at = M._delve_web_data_pack_finish(page, size);
      const length = doubles(size, 1)[0];
      return M.HEAPU8.slice(at, at + length);
    } finally {
      M._free(size);
      M._delve_web_data_pack_end(page);
    }
  },
};

// --- tiles: read, written and taken from pictures by the program's rules ----
/** @typedef {{ width: number, height: number, pixels: Uint8Array }} TilePixels */
export const tiles = {
  /** The 16 tile colours, as [r, g, b] each. @returns {number[][]} */
  palette() {
    const out = alloc(48);
    try {
      M._delve_web_tile_palette(out);
      return Array.from({ length: 16 }, (_, i) => Array.from(M.HEAPU8.subarray(out + 3 * i, out + 3 * i + 3)));
    } finally {
      M._free(out);
    }
  },
  /**
   * A tile file's pixels as the game shows them, or null when it is not a tile file.
   * @param {Uint8Array} bytes @returns {TilePixels | null}
   */
  read(bytes) {
    return withTile((page) => {
      if (!withBytes(bytes, (at) => M._delve_web_tile_read(page, at, bytes.length))) return null;
      return tileOf(page);
    });
  },
  /**
   * The file with these pixels: over the picture of `bytes` (the rest of the
   * file kept), or a new tile file when `bytes` is empty; null when they do
   * not fit its picture.
   * @param {Uint8Array} bytes @param {TilePixels} tile @returns {Uint8Array | null}
   */
  write(bytes, tile) {
    return withTile((page) => withBytes(bytes, (at) => withBytes(tile.pixels, (pixels) => {
      if (!M._delve_web_tile_write(page, at, bytes.length, pixels, tile.width, tile.height)) return null;
      const from = M._delve_web_tile_bytes(page);
      return M.HEAPU8.slice(from, from + M._delve_web_tile_bytes_size(page));
    })));
  },
  /**
   * A picture (RGBA) as a tile of the given size, by delve-tiles' rules.
   * @param {Uint8Array} rgba @param {number} width @param {number} height
   * @param {number} tileWidth @param {number} tileHeight @param {boolean} nearest
   * @returns {{ tile: TilePixels, changed: number } | { refusal: number, problem: string }}
   */
  fromPicture(rgba, width, height, tileWidth, tileHeight, nearest) {
    return withTile((page) => withBytes(rgba, (at) => {
      const refusal = M._delve_web_tile_from_picture(page, at, width, height, tileWidth, tileHeight, nearest ? 1 : 0);
      if (refusal) return { refusal, problem: M.UTF8ToString(M._delve_web_tile_problem(page)) };
      return { tile: tileOf(page), changed: M._delve_web_tile_changed(page) };
    }));
  },
  /**
   * The sheet of these tiles as delve-tiles sheet draws it (RGBA), each
   * named as its file without the extension; files that are not tiles are
   * left off. Null when none is a tile.
   * @param {{ stem: string, bytes: Uint8Array }[]} files
   * @returns {{ rgba: Uint8ClampedArray, width: number, height: number } | null}
   */
  sheet(files) {
    const page = M._delve_web_sheet_begin();
    try {
      let added = 0;
      for (const { stem, bytes } of files) {
        added += withText(stem, (name) => withBytes(bytes, (at) => M._delve_web_sheet_add(page, name, at, bytes.length)));
      }
      if (!added) return null;
      const at = M._delve_web_sheet_draw(page);
      const width = M._delve_web_sheet_width(page);
      const height = M._delve_web_sheet_height(page);
      return { rgba: new Uint8ClampedArray(M.HEAPU8.slice(at, at + 4 * width * height).buffer), width, height };
    } finally {
      M._delve_web_sheet_end(page);
    }
  },
};

/** @template T @param {(page: number) => T} use @returns {T} */
function withTile(use) {
  const page = M._delve_web_tile_begin();
  try {
    return use(page);
  } finally {
    M._delve_web_tile_end(page);
  }
}

/** @param {number} page @returns {TilePixels} */
function tileOf(page) {
  const width = M._delve_web_tile_width(page);
  const height = M._delve_web_tile_height(page);
  const at = M._delve_web_tile_pixels(page);
  return { width, height, pixels: M.HEAPU8.slice(at, at + width * height) };
}

/**
 * A promise resolved in a task of its own, after the browser has handled
 * what came meanwhile (input, painting): the program's start is long work,
 * and a phone's page should answer a tap within 50 ms.
 * @returns {Promise<void>}
 */
export function breathe() {
  const scheduler = /** @type {any} */ (globalThis).scheduler;
  if (scheduler && typeof scheduler.yield === 'function') return scheduler.yield();
  return new Promise((resolve) => {
    const channel = new MessageChannel();
    channel.port1.onmessage = () => {
      channel.port1.close();
      resolve();
    };
    channel.port2.postMessage(null);
  });
}

/**
 * Loads the program. It waits, loaded, for callMain (handlers.ready).
 * @param {PageHandlers} handlers
 */
export function load(handlers) {
  const page = {
    /** @param {number} program */
    attach(program) {
      backend = program;
      scratch = alloc(2 * SCRATCH_BYTES);
      placement = alloc(5 * 8);
      handlers.attached();
    },
    /** @type {PageHandlers['show']} */
    show(rgba, width, height, x, y, changedWidth, changedHeight) {
      handlers.show(rgba, width, height, x, y, changedWidth, changedHeight);
      const now = performance.now();
      Delve.presents++;
      Delve.lastPresentAt = now;
      for (const at of keysAt) addTime(Delve.turnTimes, now - at);
      keysAt = [];
    },
    setTitle: handlers.setTitle,
    report: handlers.report,
    /** @param {number} milliseconds */
    wait(milliseconds) {
      if (!drawn) {
        drawn = true;
        handlers.drawn();
      }
      return new Promise((resolve) => {
        wakeUp = /** @type {() => void} */ (resolve);
        Delve.waiting = true;
        if (milliseconds > 0) {
          wakeTimer = window.setTimeout(wake, milliseconds);
        } else if (milliseconds === 0) {
          // Just a look (the watcher noting between them): a task of its
          // own, not a timer, whose chain the browser holds back to 4 ms a
          // link; and not breathe's, which goes before the page's other work.
          if (!lookChannel) {
            lookChannel = new MessageChannel();
            lookChannel.port1.onmessage = () => {
              if (lookWaiter && wakeUp === lookWaiter) wake();
              lookWaiter = null;
            };
          }
          lookWaiter = wakeUp;
          lookChannel.port2.postMessage(null);
        }
      });
    },
    breathe,
    ended() {
      backend = 0;
      handlers.ended();
    },
    keep: handlers.keep,
    keepPicture: handlers.keepPicture,
    problem: handlers.problem,
  };
  M = /** @type {any} */ (window).Module = {
    page,
    noInitialRun: true,
    /** @param {string} text */
    print: (text) => console.log(text),
    /** @param {string} text */
    printErr: (text) => console.error(text),
    /** @param {string} status */
    setStatus(status) {
      const parts = /\((\d+)\/(\d+)\)/.exec(status || '');
      if (parts) handlers.progress('data', Number(parts[1]), Number(parts[2]));
    },
    /** @param {WebAssembly.Imports} imports @param {(instance: WebAssembly.Instance, module: WebAssembly.Module) => void} receive */
    instantiateWasm(imports, receive) {
      // The program's runtime starts in a task of its own, not on the end
      // of the compile's.
      instantiateWithProgress('delve.wasm', imports, (loaded, total) => handlers.progress('wasm', loaded, total))
        .then((result) => breathe().then(() => receive(result.instance, result.module)))
        .catch((error) => handlers.failed('The game could not be loaded (delve.wasm: ' + describe(error) + ').'));
      return {};
    },
    // What the page prepares once the runtime is up (kept games, own data)
    // is a task of its own, too.
    onRuntimeInitialized: () => {
      runtimeResolve();
      breathe().then(handlers.ready);
    },
    /** @param {unknown} what */
    onAbort: (what) => {
      backend = 0;
      handlers.failed('The game stopped: ' + describe(what));
    },
  };
  const script = document.createElement('script');
  script.src = 'delve.js';
  script.onerror = () => handlers.failed('The game could not be loaded (delve.js did not load).');
  document.body.appendChild(script);
}

/** @param {unknown} error */
export function describe(error) {
  if (!error) return 'unknown error';
  return String(/** @type {any} */ (error).message || error);
}
