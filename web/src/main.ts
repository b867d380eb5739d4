// The browser editor's start: the core first, then the window.
import { loadCore } from './core';

async function start(): Promise<void> {
  const app = document.getElementById('app')!;
  try {
    const core = await loadCore();
    app.textContent = `ZezUdi ${core.version()}`;
    app.removeAttribute('aria-busy');
    document.body.dataset.ready = '1';
  } catch (e) {
    app.textContent = `The editor could not start: ${e instanceof Error ? e.message : String(e)}`;
    document.body.dataset.failed = '1';
  }
}

void start();
