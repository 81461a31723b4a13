// delve.wasm fetched and compiled as it comes, with its progress shown: the
// largest of the page's files.

/**
 * A response that reports its bytes as they pass, typed as WebAssembly
 * whatever the server said, so the browser compiles it while it downloads.
 * @param {Response} response
 * @param {(loaded: number, total: number) => void} report
 * @returns {Response}
 */
export function countedWasm(response, report) {
  const total = Number(response.headers.get('Content-Length')) || 0;
  const headers = { 'Content-Type': 'application/wasm' };
  if (!response.body || typeof TransformStream !== 'function') return new Response(response.body, { headers });
  let loaded = 0;
  const counted = response.body.pipeThrough(new TransformStream({
    /** @param {Uint8Array} chunk @param {TransformStreamDefaultController<Uint8Array>} controller */
    transform(chunk, controller) {
      loaded += chunk.length;
      report(loaded, Math.max(total, loaded));
      controller.enqueue(chunk);
    },
  }));
  return new Response(counted, { headers });
}

/**
 * The program fetched from `url` and instantiated with `imports`, compiled
 * while it streams in where the browser can, from its whole bytes elsewhere.
 * @param {string} url
 * @param {WebAssembly.Imports} imports
 * @param {(loaded: number, total: number) => void} report
 * @returns {Promise<WebAssembly.WebAssemblyInstantiatedSource>}
 */
export function instantiateWithProgress(url, imports, report) {
  return fetch(url).then((response) => {
    if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
    const counted = countedWasm(response, report);
    if (typeof WebAssembly.instantiateStreaming === 'function') return WebAssembly.instantiateStreaming(counted, imports);
    return counted.arrayBuffer().then((bytes) => WebAssembly.instantiate(bytes, imports));
  });
}
