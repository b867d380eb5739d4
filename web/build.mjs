// Builds the browser editor: build/web/site/ (a static folder for a web server) and
// build/web/zezudi-editor.html (one self-contained file with the module inlined, for file://).
// The guide's chapters are rendered to HTML here and bundled into app.js.
import * as esbuild from 'esbuild';
import { marked } from 'marked';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const web = path.dirname(fileURLToPath(import.meta.url));
const root = path.dirname(web);
const wasmDir = process.env.ZEZ_WASM_DIR || path.join(root, 'build/wasm/wasm');
const out = path.join(root, 'build/web');
const site = path.join(out, 'site');

// The guide as { file: html } in the order of its contents page; pictures are left out (their
// alt text stays), so the single file keeps its size.
function renderGuide() {
  const dir = path.join(root, 'docs/guide');
  const chapters = {};
  for (const name of fs.readdirSync(dir).filter((f) => f.endsWith('.md')).sort()) {
    const md = fs.readFileSync(path.join(dir, name), 'utf8');
    const renderer = new marked.Renderer();
    renderer.image = ({ text }) => (text ? `<em>[${text}]</em>` : '');
    renderer.heading = ({ tokens, depth }) => {
      const text = marked.Parser.parseInline(tokens);
      const plain = text.replace(/<[^>]*>/g, '');
      return `<h${depth} data-section="${plain.replace(/"/g, '&quot;')}">${text}</h${depth}>\n`;
    };
    chapters[name] = marked.parse(md, { renderer, async: false });
  }
  return chapters;
}

const guidePlugin = {
  name: 'guide',
  setup(build) {
    build.onResolve({ filter: /^zez:guide$/ }, () => ({ path: 'guide', namespace: 'zez' }));
    build.onLoad({ filter: /.*/, namespace: 'zez' }, () => ({
      contents: JSON.stringify(renderGuide()),
      loader: 'json',
    }));
  },
};

async function main() {
  for (const f of ['zezudi.js', 'zezudi.wasm'])
    if (!fs.existsSync(path.join(wasmDir, f))) throw new Error(`${f} missing in ${wasmDir}: run scripts/build-wasm`);
  fs.mkdirSync(site, { recursive: true });
  const result = await esbuild.build({
    entryPoints: [path.join(web, 'src/main.ts')],
    bundle: true,
    format: 'iife',
    target: 'es2020',
    minify: true,
    sourcemap: false,
    write: false,
    outdir: site,
    plugins: [guidePlugin],
    logLevel: 'warning',
  });
  const appJs = result.outputFiles.find((f) => f.path.endsWith('.js')).text;
  const css = fs.readFileSync(path.join(web, 'src/app.css'), 'utf8');
  const loader = fs.readFileSync(path.join(wasmDir, 'zezudi.js'), 'utf8');
  const wasm = fs.readFileSync(path.join(wasmDir, 'zezudi.wasm'));
  // The desktop's icon: a file beside the page, inlined in the single file.
  const icon = fs.readFileSync(path.join(root, 'packaging/zezudi.svg'));
  const page = fs.readFileSync(path.join(web, 'src/index.html'), 'utf8');

  fs.writeFileSync(path.join(site, 'app.js'), appJs);
  fs.writeFileSync(path.join(site, 'app.css'), css);
  fs.writeFileSync(path.join(site, 'zezudi.js'), loader);
  fs.writeFileSync(path.join(site, 'zezudi.wasm'), wasm);
  fs.writeFileSync(path.join(site, 'favicon.svg'), icon);
  fs.writeFileSync(
    path.join(site, 'index.html'),
    page
      .replace('<!--ICON-->', '<link rel="icon" type="image/svg+xml" href="favicon.svg">')
      .replace('<!--STYLE-->', '<link rel="stylesheet" href="app.css">')
      .replace('<!--SCRIPTS-->', '<script src="zezudi.js"></script>\n<script src="app.js"></script>'),
  );

  // One file: "</script" cannot appear inside an inline script, so it is escaped.
  const inline = (js) => js.replace(/<\/script/gi, '<\\/script');
  const single = page
    .replace('<!--ICON-->', `<link rel="icon" type="image/svg+xml" href="data:image/svg+xml;base64,${icon.toString('base64')}">`)
    .replace('<!--STYLE-->', () => `<style>\n${css}</style>`)
    .replace(
      '<!--SCRIPTS-->',
      () =>
        `<script type="application/octet-stream" id="zezudi-wasm">${wasm.toString('base64')}</script>\n` +
        `<script>${inline(loader)}</script>\n<script>${inline(appJs)}</script>`,
    );
  fs.writeFileSync(path.join(out, 'zezudi-editor.html'), single);
  const kb = (n) => `${Math.round(n / 1024)} KiB`;
  console.log(`build/web/site: app.js ${kb(appJs.length)}, zezudi.wasm ${kb(wasm.length)}; ` +
              `build/web/zezudi-editor.html ${kb(single.length)}`);
}

main().catch((e) => {
  console.error(e.message || e);
  process.exit(1);
});
