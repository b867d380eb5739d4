// Under Node the loader would fetch() its .wasm by path, which Node's fetch refuses: it is read
// from beside the loader instead.
if (typeof process == 'object' && process.versions && process.versions.node &&
    !Module['wasmBinary'] && typeof require == 'function') {
  Module['wasmBinary'] = require('fs').readFileSync(require('path').join(__dirname, 'zezudi.wasm'));
}
