// The module computes what the native build computes, byte for byte: the compile of the
// examples and of the generated families, the text form there and back, and what the analysis
// commands print; and it fails with the native build's messages.
// Usage: node equal.mjs MODULE_DIR CLI FAMILIES EXAMPLES_DIR WORK_DIR
import fs from 'node:fs';
import path from 'node:path';
import { check, finish, lines, loadModule, native, same } from './lib.mjs';

const [dir, cli, families, examples, work] = process.argv.slice(2);
const m = await loadModule(dir);
fs.mkdirSync(work, { recursive: true });
const files = [
  ...fs.readdirSync(examples).filter((f) => f.endsWith('.CDF')).map((f) => path.join(examples, f)),
  ...lines(families, [work, '2']),
];
check(files.length >= 19, `only ${files.length} configurations`);

// Per configuration and output: the command line and the module's call that must agree.
const perOutput = [
  ['expr', (f, o) => ['expr', f, '--output', o + 1], (cdf, o) => `${m.expression(cdf, o)}\n`],
  ['table', (f, o) => ['table', f, '--output', o + 1], (cdf, o) => m.truthTable(cdf, o)],
  ['show', (f, o) => ['show', f, '--output', o + 1], (cdf, o) => m.diagram(cdf, o)],
];
for (const file of files) {
  const cdf = fs.readFileSync(file);
  const name = path.basename(file);
  same(m.compile(cdf, false).array, native(cli, ['compile', file, '-o', '-', '--force'], true).out, `${name}: compile`);
  const text = native(cli, ['totext', file, '-o', '-']).out;
  same(m.toText(cdf), text, `${name}: text form`);
  same(m.fromText(text), cdf, `${name}: text form read back`);
  for (const [what, args, call] of perOutput)
    for (let o = 0; o < 8; ++o) same(call(cdf, o), native(cli, args(file, o)).out, `${name}: ${what} ${o + 1}`);
  const findings = m.checks(cdf).map((f) => `${f.text}\n`).join('');
  same(findings, native(cli, ['check', file]).out, `${name}: check`);
  // The Logic window's report: the same expression and findings, the minimal drawing as tidy
  // draws it, and the outputs the printed pages show (those expr lists).
  const listed = native(cli, ['expr', file]).out;
  const tidied = path.join(work, 'tidy.CDF');
  for (let o = 0; o < 8; ++o) {
    const r = m.logic(cdf, o);
    native(cli, ['tidy', file, '--output', o + 1, '-o', tidied, '--force']);
    const own = findings.split('\n').filter((l) => l.startsWith(`LC Input ${o + 1}:`)).map((l) => `${l}\n`).join('');
    same(`${r.expression}\n${r.findings.map((f) => `${f.text}\n`).join('')}${m.hasDiagram(cdf, o)}`,
      `${m.expression(cdf, o)}\n${own}${listed.includes(`LC Input ${o + 1}:`)}`, `${name}: logic ${o + 1}`);
    same(r.minimal ?? cdf, fs.readFileSync(tidied), `${name}: minimal drawing of ${o + 1}`);
  }
  same(m.compare(cdf, fs.readFileSync(files[0])).text, native(cli, ['diff', file, files[0]]).out, `${name}: diff`);
}

// The reference engine, on the examples.
for (const file of files.slice(0, 3))
  same(m.compile(fs.readFileSync(file), true).array, native(cli, ['compile', file, '-o', '-', '--engine', 'reference', '--force'], true).out,
    `${path.basename(file)}: compile by the reference engine`);

// Failures: the same message and kind as the command line gives.
const broken = [
  ['a text with a bad line', 'zezudi-config 1\nbad\n', 'fromtext'],
  ['an output that does not exist', 'zezudi-config 1\noutput 9 = I1\n', 'fromtext'],
  ['a formula that does not parse', 'zezudi-config 1\noutput 1 = I1 &\n', 'fromtext'],
];
for (const [what, text, cmd] of broken) {
  const file = path.join(work, 'broken.zez');
  fs.writeFileSync(file, text);
  const r = native(cli, [cmd, file, '-o', path.join(work, 'broken.CDF')]);
  let message = '';
  try {
    m.fromText(text);
  } catch (e) {
    message = `${e.kind}: ${e.message}`;
  }
  check(r.status !== 0 && r.err.includes(message.replace(/^data: /, '')) && message.startsWith('data: '),
    `${what}: native "${r.err.trim()}", wasm "${message}"`);
}
finish('equal');
