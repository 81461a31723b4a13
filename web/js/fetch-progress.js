// delve.wasm fetched with its progress shown: the largest of the page's files.

/**
 * The whole body of a response, reporting the bytes as they come.
 * @param {string} url
 * @param {(loaded: number, total: number) => void} report
 * @returns {Promise<ArrayBuffer>}
 */
export function fetchWithProgress(url, report) {
  return fetch(url).then((response) => {
    if (!response.ok) throw new Error(response.status + ' ' + response.statusText);
    const total = Number(response.headers.get('Content-Length')) || 0;
    if (!response.body || !response.body.getReader) return response.arrayBuffer();
    const reader = response.body.getReader();
    /** @type {Uint8Array[]} */
    const chunks = [];
    let loaded = 0;
    /** @returns {Promise<ArrayBuffer>} */
    const pump = () => reader.read().then((step) => {
      if (step.done) {
        const bytes = new Uint8Array(loaded);
        let at = 0;
        for (const chunk of chunks) {
          bytes.set(chunk, at);
          at += chunk.length;
        }
        return bytes.buffer;
      }
      chunks.push(step.value);
      loaded += step.value.length;
      report(loaded, Math.max(total, loaded));
      return pump();
    });
    return pump();
  });
}
