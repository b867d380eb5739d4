// What the module's tests share: loading the module, running the native programs, checking.
import { execFileSync, spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';
import path from "node:path";

export async function loadModule(dir) {
  return createRequire(import.meta.url)(path.resolve(dir, "zezudi.js"))();
}

// A native program's exit status, standard output and standard error (as bytes for `raw`).
export function native(program, args, raw = false) {
  const r = spawnSync(program, args, { encoding: raw ? 'buffer' : 'utf8', maxBuffer: 1 << 24 });
  return { status: r.status, out: r.stdout, err: r.stderr };
}

export function lines(program, args) {
  return execFileSync(program, args, { encoding: 'utf8' }).split('\n').filter((l) => l !== '');
}

let failures = 0;
export function check(ok, what) {
  if (!ok) {
    failures += 1;
    console.log(`FAILED: ${what}`);
  }
}

export function same(a, b, what) {
  const equal = Buffer.from(a).equals(Buffer.from(b));
  check(equal, `${what}\n  native: ${JSON.stringify(String(b)).slice(0, 400)}\n  wasm:   ${JSON.stringify(String(a)).slice(0, 400)}`);
}

export function finish(name) {
  console.log(failures ? `${name}: ${failures} failed` : `${name}: passed`);
  process.exitCode = failures ? 1 : 0;
}
