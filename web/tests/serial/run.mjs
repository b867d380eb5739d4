// The transfer tests in Chromium and the check of their texts: node web/tests/serial/run.mjs
// (scripts/test-web-serial builds what they need first).
await import('./texts.test.mjs');
await import('./transfers.test.mjs');
