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
