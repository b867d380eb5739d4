// The module computes what the native build computes, byte for byte: the compile of the
// examples and of the generated families, the text form there and back, and what the analysis
// commands print, and what the Test draws energised; and it fails and refuses with the native
// build's messages.
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
  same(m.compile(cdf, false, { force: true }).array, native(cli, ['compile', file, '-o', '-', '--force'], true).out, `${name}: compile`);
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
  const report = native(cli, ['report', file]).out;
  same(m.report(cdf, name, /on \d{4}-\d\d-\d\d from [^<]*(?=\.<\/p>)/.exec(report)[0]), report, `${name}: report`);
}

// The reference engine, on the examples.
for (const file of files.slice(0, 3))
  same(m.compile(fs.readFileSync(file), true, { force: true }).array, native(cli, ['compile', file, '-o', '-', '--engine', 'reference', '--force'], true).out,
    `${path.basename(file)}: compile by the reference engine`);

// What the Test draws energised, against the native Test, for a few input words.
for (const file of files.slice(0, 4)) {
  const cdf = fs.readFileSync(file);
  for (const word of [0, 0x0005, 0x00ff, 0x8421, 0xffff])
    for (let o = 0; o < 8; ++o) {
      const t = m.testSegments(cdf, o, word);
      const mine = `${t.on ? 'on' : 'off'} ${Array.from(t.segments, (d) => d.toString(16)).join('')}\n`;
      same(mine, native(families, ['--test', file, o + 1, word]).out, `${path.basename(file)}: test ${o + 1} at ${word}`);
    }
}

// Failures and refusals: the kind, and the message exactly as the command line frames it.
const write = (name, bytes) => { const f = path.join(work, name); fs.writeFileSync(f, bytes); return f; };
const example = files[0];
const outOfRange = files.find((f) => path.basename(f).startsWith('out_of_range'));
const pdf = write('doc.pdf', '%PDF-1.4\n%\xe2\xe3\n');
const port = new m.EmulatedPort();
// A text the command line's fromtext and the module's fromText refuse.
const text = (name, body) => [write(name, body), ['fromtext', '-o', path.join(work, 'x.CDF')], (b) => m.fromText(b.toString()),
  'data', (f, e) => `zezudi-cli fromtext: "${f}": ${e}; nothing was written`];
// Bytes that compile, download or verify refuse; `more`: the command line offers --force.
const refused = (file, cmd, call, more) => [file, [cmd, ...(cmd === 'compile' ? ['-o', path.join(work, 'x.bin')] : ['--port', 'none'])],
  (b, f) => call(b, { name: f }), 'usage', (f, e) => `zezudi-cli ${cmd}: ${e}${more ? ' (give --force to use it anyway)' : ''}`];
const failures = [
  // file, the command line's command and options, the module's call on its bytes, kind, the frame
  text('line.zez', 'zezudi-config 1\nbad\n'), text('output.zez', 'zezudi-config 1\noutput 9 = I1\n'),
  text('formula.zez', 'zezudi-config 1\noutput 1 = I1 &\n'),
  [write('short.CDF', fs.readFileSync(example).subarray(0, 100)), ['show', '--output', '1'], (b, f) => m.openCdf(b, f), 'data', (f, e) => `zezudi-cli: ${e}`],
  [example, ['expr', '--output', '9'], (b) => m.expression(b, 8), 'usage', (f, e) => `zezudi-cli expr: ${e}`],
  ...[write('either.zez', 'zezudi-config 1\nbad\n'), write('either.CDF', 'x')].map((f) =>
    [f, ['diff', example], (b, name) => m.readEither(b, name), 'data', (f, e) => `zezudi-cli: ${e}`]),
  refused(pdf, 'compile', (b, o) => m.compile(b, false, o), false),
  refused(write('array.bin', m.compile(fs.readFileSync(example), false).array), 'compile', (b, o) => m.compile(b, false, o), true),
  refused(outOfRange, 'compile', (b, o) => m.compile(b, false, o), true),
  refused(pdf, 'download', (b, o) => m.download(b, port, 'emulated', o), false),
  refused(outOfRange, 'verify', (b, o) => m.verify(b, port, 'emulated', o), true),
];
for (const [file, [cmd, ...options], call, kind, framed] of failures) {
  const r = native(cli, [cmd, file, ...options]);
  const what = `${cmd} ${path.basename(file)}`;
  let said = '';
  try {
    await call(fs.readFileSync(file), file);
  } catch (e) {
    said = e instanceof m.ZezError && e.kind === kind ? framed(file, e.message) : `${e.kind}: ${e.message}`;
  }
  check(r.status === 2, `${what}: the command line's exit status ${r.status}`);
  same(`${said}\n`, r.err, what);
}
check(port.settings.length === 0, 'a port opened for what was refused');
port.dispose();
finish('equal');
