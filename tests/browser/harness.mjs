// What the browser tests share: a free loopback port, the real server started on its
// own directories and stopped with SIGTERM, and a headless chromium of its own.
import { spawn } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import net from 'node:net';
import path from 'node:path';

export function fail(message) {
  throw new Error(message);
}

export async function freePort() {
  const probe = net.createServer();
  probe.listen(0, '127.0.0.1');
  await once(probe, 'listening');
  const { port } = probe.address();
  probe.close();
  await once(probe, 'close');
  return port;
}

// Starts `binary` on `options` with its drive, temporary, store and home directories
// under `root`, and waits until it listens on `port`.
export async function launchServer(binary, options, root, port) {
  const env = { ...process.env, PELLORA_DRIVES: `C=${path.join(root, 'drive')}`, PELLORA_HEADLESS: '1',
    TMPDIR: path.join(root, 'tmp'), XDG_CONFIG_HOME: path.join(root, 'config'), HOME: path.join(root, 'home') };
  const child = spawn(binary, [options], { env, stdio: ['ignore', 'pipe', 'pipe'] });
  const server = { child, port, stdout: '', stderr: '', exited: null };
  child.stdout.on('data', (chunk) => { server.stdout += chunk; });
  child.stderr.on('data', (chunk) => { server.stderr += chunk; });
  server.exited = new Promise((resolve) => {
    child.on('exit', (code, signal) => resolve({ code, signal }));
    child.on('error', (error) => resolve({ error: error.message }));
  });
  const listening = `Listening on Port: [${port}]`;
  const deadline = Date.now() + 10_000;
  while (!server.stdout.includes(listening)) {
    const ended = await Promise.race([server.exited, new Promise((r) => setTimeout(() => r(null), 20))]);
    if (ended) fail(`server ended at start (${JSON.stringify(ended)}): ${server.stderr}${server.stdout}`);
    if (Date.now() > deadline) fail(`server did not report "${listening}": ${server.stdout}${server.stderr}`);
  }
  return server;
}

// SIGTERM is the clean way out; a server that ignores it is killed and reported (null).
export async function stopServer(server) {
  if (!server) return null;
  const { child, exited } = server;
  if (child.exitCode !== null || child.signalCode !== null) return exited;
  child.kill('SIGTERM');
  const result = await Promise.race([exited, new Promise((r) => setTimeout(() => r(null), 10_000))]);
  if (result) return result;
  child.kill('SIGKILL');
  await exited;
  return null;
}

// A profile of its own, and none of the browser's calls home: this machine's network is closed.
export async function openBrowser(chromiumPath, profile, stepTimeout) {
  if (!fs.existsSync(chromiumPath)) fail(`no chromium at ${chromiumPath}: run tools/setup.sh`);
  let chromium;
  try {
    ({ chromium } = await import('playwright-core'));
  } catch (error) {
    fail(`playwright-core is missing (${error.message}): run tools/setup.sh, or npm ci in tests/browser`);
  }
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
  context.setDefaultTimeout(stepTimeout);
  return context;
}

// Runs `run` within `limitMs`, always cleans up, and exits 1 on any failure.
export async function runToTheEnd(run, cleanUp, limitMs, what, onTimeout = () => {}) {
  const limit = setTimeout(() => {
    onTimeout();
    console.log(`FAIL ${what} took longer than ${limitMs / 1000} s`);
    cleanUp().finally(() => process.exit(1));
  }, limitMs);
  let failed = 1;
  try {
    failed = await run();
  } catch (error) {
    console.log(`FAIL ${error.message}`);
  } finally {
    clearTimeout(limit);
    await cleanUp();
  }
  process.exit(failed ? 1 : 0);
}
