// The receive buffer and wait of a port (port-buffer.js), for the browser's own ports.
export declare class PortBuffer {
  /** The reason once the port itself failed: waits then reject with it. */
  failure: string;
  /** Bytes that arrived: kept for reading, and a pending wait ends. */
  arrived(bytes: ArrayLike<number>): void;
  waiting(): number;
  /** Forgets what was received and ends a pending wait (the port closed). */
  clear(): void;
  readInto(buffer: Uint8Array): number;
  /** Resolves when more bytes arrive, `ms` has passed or cancel() is called; rejects once the port failed. */
  waitForData(ms: number): Promise<void>;
  /** Ends a pending wait. */
  wakeUp(): void;
  cancel(): void;
}
