// Types of the WebAssembly core's JavaScript API (build/wasm/wasm/zezudi.js).
// A configuration travels as its 12,288 CDF bytes; every call returns new bytes and keeps none.
// Outputs are numbered 0..7 here (the desktop's "LC Input 1".."8"), segments 0..255 row by row
// (16 a row), inputs as a 16-bit word: bit n is I(n+1) for n < 8, P(n-7) above.

export type Cdf = Uint8Array;

/** A failure of the core: `message` is the desktop's text. */
export declare class ZezError extends Error {
  readonly kind: 'data' | 'file' | 'device' | 'usage';
}

export interface Evaluation {
  on: boolean;
  /** The logic grid, `width` x `height` row by row: 0 empty, 1 conductor, 2 energised. */
  cells: Int16Array;
  width: number;
  height: number;
}

/** What the desktop's Test shows for an output and its inputs, per segment of the 16 x 16. */
export interface TestSegments {
  on: boolean;
  /** Per segment (0..255): bit 1 the element, 2 the junction, 4 the link up, 8 the link down
   *  carried the supply. */
  segments: Uint8Array;
}

/** What a file's bytes open as, as the desktop's Open reads them. */
export interface OpenedCdf {
  cdf: Cdf;
  /** Counts of stored values outside 0..15 (loaded as they are). */
  invalid: { types: number; inputs: number; segments: number };
  /** What the bytes look like when plainly something else ("a PDF", ...), else null. */
  looksLike: string | null;
}

/** Compile, download and verify refuse what is no configuration unless `force`. */
export interface RefusalOptions {
  /** Use bytes that hold no configuration, or values outside the codes, all the same. */
  force?: boolean;
  /** The file's name as the refusal names it (default "The file"). */
  name?: string;
}

export interface Finding {
  output: number;
  /** -1 for the output as a whole. */
  segment: number;
  /** The finding as the desktop words it. */
  text: string;
}

/**
 * What a serial port of the host does for a transfer (Web Serial, a Node terminal, ...). A call
 * may answer at once or with a promise; the transfer is suspended only for a promise.
 */
export interface HostPort {
  /** `settings` as "38400,n,8,1"; fails with the reason the port cannot be used. */
  open(name: string, settings: string): Promise<void> | void;
  close(): Promise<void> | void;
  dtrOff?(): Promise<void> | void;
  write(bytes: Uint8Array): Promise<void> | void;
  /** How many received bytes wait to be read. */
  waiting(): number;
  /** Moves up to `buffer.length` waiting bytes into `buffer`; how many. */
  readInto(buffer: Uint8Array): number;
  /** Resolves when more bytes arrive or after `ms`; rejects when the port itself failed. */
  waitForData(ms: number): Promise<void>;
  /** Ends a pending waitForData at once (called by cancel). */
  cancel?(): void;
}

export type Outcome = 'complete' | 'failed' | 'noConnect' | 'portError' | 'cancelled';

export interface TransferResult {
  outcome: Outcome;
  /** Why the transfer stopped, as the desktop says it; empty on success and on a cancel (the
   *  outcome says it). */
  reason: string;
  hostChecksum: string;
  deviceChecksum: string;
}

export interface UploadResult extends TransferResult {
  /** The configuration read back, when complete. */
  cdf?: Cdf;
}

export interface VerifyResult extends TransferResult {
  quick: boolean;
  match: boolean;
  /** What the comparison found, a line each, when complete. */
  report: string[];
  /** The compared record with what the device stores at each segment that differs (the grid
   *  frames those); null when no segment differs, and after a quick or unfinished comparison. */
  differing: Cdf | null;
}

export interface TransferOptions {
  /** The progress captions of the desktop's status bar. */
  onCaption?: (caption: string) => void;
  /** How long the whole transfer may take, in milliseconds: a finite number above 0 (the default grows with its size). */
  deadlineMs?: number;
}

/** What the Logic window shows of one output. */
export interface LogicReport {
  expression: string;
  /** Whether the expression is proven minimal (else found by a heuristic). */
  exact: boolean;
  /** The signals the output depends on, by name ("I3", "P1"). */
  dependsOn: string[];
  /** The output's findings; `reason` is the finding without its place. */
  findings: Array<Finding & { reason: string }>;
  /** The outputs whose contacts read each signal, in a line. */
  signalUse: string;
  /** The diagram's segments that hold anything. */
  segments: number;
  /** The record with the output redrawn minimal, when that takes fewer segments; else null. */
  minimal: Cdf | null;
  minimalSegments: number;
}

export interface Faults {
  silentAfter?: number;
  dropEvery?: number;
  lateEvery?: number;
  lateMs?: number;
  corruptEvery?: number;
  garbleEvery?: number;
  floodEvery?: number;
  dribbleMs?: number;
  shortReplies?: boolean;
  lowerCaseChecksum?: boolean;
  wrongChecksum?: boolean;
  noteByte4095?: boolean;
  /** Each reply also waits the line time of its command and reply, as zezudi-devsim --pace. */
  pace?: boolean;
}

/** The emulated device itself, as zezudi-devsim runs it: commands in, replies out. */
export declare class Emulator {
  /** Refuses (ZezError "usage") a fault it does not know or a value it cannot take. */
  constructor(faults?: Faults);
  /** The replies to the bytes of `bytes`, each with its delay and its time a byte. */
  feed(bytes: Uint8Array | string): Array<{ text: Uint8Array; delayMs: number; perByteMs: number }>;
  /** Whether it has switched to the fast speed. */
  fast(): boolean;
  /** How many commands it has taken. */
  commands(): number;
  /** Frees it; it cannot be used afterwards. */
  delete(): void;
}

/** A port onto the device emulator inside the module, its replies delayed on the real clock. */
export declare class EmulatedPort implements HostPort {
  constructor(faults?: Faults);
  open(name: string, settings: string): Promise<void>;
  close(): Promise<void>;
  write(bytes: Uint8Array): Promise<void>;
  waiting(): number;
  readInto(buffer: Uint8Array): number;
  waitForData(ms: number): Promise<void>;
  cancel(): void;
  /** The emulated device it reaches. */
  readonly device: Emulator;
  /** Frees the emulator; the port cannot be used afterwards. A second call does nothing. */
  dispose(): void;
}

export interface ZezUdiModule {
  ZezError: typeof ZezError;
  EmulatedPort: typeof EmulatedPort;
  Emulator: typeof Emulator;
  version(): string;

  // The record
  /** What Save writes over a file that holds `existing`: the record's bytes, then what the file
   *  holds beyond them. */
  saveOver(cdf: Cdf, existing: Uint8Array): Uint8Array;
  /** Counts of stored values outside 0..15; throws on bytes that are no configuration. */
  checkCdf(cdf: Cdf): { types: number; inputs: number; segments: number };
  /** A file's bytes as the desktop opens them; a failure's message names the file `name`. */
  openCdf(bytes: Uint8Array, name: string): OpenedCdf;
  toText(cdf: Cdf): string;
  fromText(text: string): Cdf;
  /** A file's bytes, the text form or a CDF record, as Compare With File reads them; a failure's
   *  message names the file `name`. */
  readEither(bytes: Uint8Array, name: string): Cdf;
  looksLikeText(bytes: Uint8Array | string): boolean;
  segment(cdf: Cdf, output: number, seg: number): { code: number; input: number };
  /** Code and input 0..15; anything out of range is a usage error. */
  setSegment(cdf: Cdf, output: number, seg: number, code: number, input: number): Cdf;
  /** The rectangle with segments `segA` and `segB` as corners, as clipboard text. */
  copyRegion(cdf: Cdf, output: number, segA: number, segB: number): string;
  pasteRegion(cdf: Cdf, output: number, seg: number, clip: string): Cdf;
  /** The clip pasted with its top-left at `seg`: `first` and `last` are the pasted rectangle's
   *  corner segments (clipped at the grid's edge), `invalid` how many of the pasted segments hold
   *  values outside 0..15 (the paste's warning). */
  paste(cdf: Cdf, output: number, seg: number, clip: string): { cdf: Cdf; first: number; last: number; invalid: number };
  /** A palette picture dropped on `seg`: its code 0..15 replaces the segment's, the input stays. */
  drop(cdf: Cdf, output: number, seg: number, code: number): Cdf;
  /** The input list's choice 0..15 on `seg`, whatever its code. */
  setInput(cdf: Cdf, output: number, seg: number, input: number): Cdf;
  blankRegion(cdf: Cdf, output: number, segA: number, segB: number): Cdf;
  /** The rectangle as text for other programs (the diagram's symbols, a row a line). */
  readableRegion(cdf: Cdf, output: number, segA: number, segB: number): string;
  /** Places element 0 none, 1 wire, 2 normally open, 3 normally closed in every segment of the
   *  rectangle, keeping its links (the editing keys). */
  placeElement(cdf: Cdf, output: number, segA: number, segB: number, element: number): Cdf;
  /** Toggles link 1 (up) or 2 (down) in every segment of the rectangle. */
  toggleLink(cdf: Cdf, output: number, segA: number, segB: number, link: number): Cdf;
  /** Sets input 0..15 on every contact of the rectangle. */
  chooseInput(cdf: Cdf, output: number, segA: number, segB: number, input: number): Cdf;
  insertRow(cdf: Cdf, output: number, row: number): Cdf;
  deleteRow(cdf: Cdf, output: number, row: number): Cdf;
  /** `moves` as "I3=P5, I5<>I6" (= moves, <> swaps); `outputs` a bit per output (255: all). */
  rewire(cdf: Cdf, moves: string, outputs: number): { cdf: Cdf; moved: number[] };

  /** The output's 256 codes and input selections as stored (values outside 0..15 too). */
  segments(cdf: Cdf, output: number): { codes: Int16Array; inputs: Int16Array };
  /** Rewire's moves as the desktop says them back; throws the reason for text that is no moves. */
  signalMap(moves: string): string;

  // The note: the text the notes window shows (line breaks as "\n")
  note(cdf: Cdf): string;
  setNote(cdf: Cdf, text: string): { cdf: Cdf; cut: boolean; length: number };

  // Evaluation, compile, analysis
  evaluate(cdf: Cdf, output: number, inputs: number): Evaluation;
  /** What the desktop's Test draws energised, per segment. */
  testSegments(cdf: Cdf, output: number, inputs: number): TestSegments;
  /** The 65,536-byte control array and the checksum a download reports; bytes that hold no
   *  configuration (or values outside the codes) are refused as the command line refuses them,
   *  unless `options.force`. */
  compile(cdf: Cdf, reference: boolean, options?: RefusalOptions): { array: Uint8Array; checksum: string };
  /** Seconds one compile takes (the compile alone, as the desktop's compile --time). */
  timeCompile(cdf: Cdf, reference: boolean): number;
  expression(cdf: Cdf, output: number): string;
  truthTable(cdf: Cdf, output: number): string;
  diagram(cdf: Cdf, output: number): string;
  checks(cdf: Cdf): Finding[];
  drawFormula(cdf: Cdf, output: number, formula: string): Cdf;
  compare(a: Cdf, b: Cdf): { same: boolean; text: string };
  /** The segments of `output` where `cdf` differs from `other`, with what `other` has there. */
  differences(cdf: Cdf, other: Cdf, output: number): Array<{ segment: number; there: string }>;
  /** The commissioning report as one HTML page; `generated` says when and from where. */
  report(cdf: Cdf, fileName: string, generated: string): string;
  /** Whether a file's bytes hold a configuration that writing a document over them would lose. */
  holdsConfiguration(bytes: Uint8Array): boolean;
  logic(cdf: Cdf, output: number): LogicReport;
  /** Whether the output's diagram holds any element (the printed pages show those outputs). */
  hasDiagram(cdf: Cdf, output: number): boolean;

  // Transfers: one at a time, the desktop's sequence against the host's port. While one runs,
  // every other call throws a ZezError of kind "usage" (cancel excepted).
  download(cdf: Cdf, port: HostPort, portName: string,
           options?: TransferOptions & RefusalOptions): Promise<TransferResult>;
  upload(port: HostPort, portName: string, options?: TransferOptions): Promise<UploadResult>;
  verify(cdf: Cdf, port: HostPort, portName: string,
         options?: TransferOptions & RefusalOptions & { quick?: boolean }): Promise<VerifyResult>;
  /** Stops the transfer running now, at any moment: the port call it awaits ends at once
   *  (through the port's cancel(), and even if the port never answers) and the outcome is
   *  "cancelled". With `port`, only a transfer running on that port; with none (or null), any.
   *  With no transfer running it does nothing. */
  cancel(port?: HostPort): void;
}

declare function ZezUdi(overrides?: Partial<{ wasmBinary: ArrayBuffer | Uint8Array;
  locateFile(path: string, prefix: string): string }>): Promise<ZezUdiModule>;
export default ZezUdi;
