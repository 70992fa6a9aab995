// Sends files to a real Pellora server from its own upload form in Debian's headless
// chromium, as a person would: open the form for a directory, choose a file, press
// "Upload Now", read the answer, and find the file stored byte for byte.
//
//   node tests/browser/upload.mjs [path/to/pellora]
//
// Exits 1 after printing what failed. The server, the browser and the temporary
// directory are removed whatever happens.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { fail, freePort, launchServer, runToTheEnd, openBrowser as launchBrowser, stopServer as stopRunningServer } from './harness.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const binary = path.resolve(process.argv[2] ?? path.join(repo, 'build', 'pellora'));
const chromiumPath = process.env.PELLORA_CHROMIUM ?? '/usr/bin/chromium';
const kStepTimeout = 15_000;
const kWholeRunLimit = 150_000;

// The saved settings the upload program reads: uploads on, into any shared directory.
const kStore = 'Pellora settings store, format 1\n\n[Software\\Tamsel\\Pellora]\n@="PR2"\n\n' +
  '[Software\\Tamsel\\Pellora\\Upload]\n"UploadOn"=dword:1\n"UploadAccessType"=dword:1\n\nEnd of store\n';

let root = null;
let server = null;
let context = null;

function optionsText(port) {
  const wanted = { Port: port, UploadOn: 1, UploadAccessType: 1, DirAccessOption: 0, IpOption: 0, LogOption: 0 };
  const lines = fs.readFileSync(path.join(repo, 'demo', 'demo.opt'), 'latin1').split('\r\n');
  return lines.map((line) => {
    const key = line.slice(0, line.indexOf(':'));
    return key in wanted ? `${key}:${wanted[key]}` : line;
  }).join('\r\n');
}

async function startServer() {
  for (const name of ['drive/docs', 'tmp', 'config/pellora', 'home', 'sources']) {
    fs.mkdirSync(path.join(root, name), { recursive: true });
  }
  fs.writeFileSync(path.join(root, 'config', 'pellora', 'settings.store'), kStore);
  const port = await freePort();
  const options = path.join(root, 'upload.opt');
  fs.writeFileSync(options, optionsText(port), 'latin1');
  server = await launchServer(binary, options, root, port);
  return port;
}

async function stopServer() {
  const result = await stopRunningServer(server);
  server = null;
  return result;
}

async function openBrowser() {
  context = await launchBrowser(chromiumPath, path.join(root, 'profile'), kStepTimeout);
  return context.pages()[0] ?? context.newPage();
}

// Bytes a multipart body is made of, so the browser's own boundary has to be found
// among look-alikes: CR LF, WebKit's boundary prefix, blank lines, NUL, high bytes.
function trickyBytes() {
  const parts = [];
  for (let i = 0; i < 4000; i += 1) parts.push(Buffer.from([i & 0xff, (i * 7) & 0xff, 13, 10]));
  parts.push(Buffer.from('\r\n------WebKitFormBoundary\r\n--\r\n\r\nContent-Disposition: form-data\r\n\r\n'));
  parts.push(Buffer.from([0, 13, 10, 0xff, 0xfe, 13]));
  parts.push(Buffer.from('\r\n--'));
  return Buffer.concat(parts);
}

// Opens the form for `formPath`, chooses `source`, maybe edits the destination, sends.
async function upload(page, port, formPath, expectedDestination, source, destination) {
  const form = await page.goto(`http://127.0.0.1:${port}${formPath}`);
  if (form.status() !== 200) fail(`${formPath} answered ${form.status()}`);
  const field = page.locator('input[name="dest"]');
  const offered = await field.inputValue();
  if (offered !== expectedDestination) fail(`${formPath} offered "${offered}", not "${expectedDestination}"`);
  if (destination !== undefined) await field.fill(destination);
  await page.locator('input[name="upl-file"]').setInputFiles(source);
  const answered = page.waitForEvent('response',
    (r) => r.request().isNavigationRequest() && r.request().frame() === page.mainFrame());
  await page.locator('input[type="submit"]').click();
  const response = await answered;
  await page.waitForLoadState('load');
  if (response.status() !== 200) fail(`the upload answered ${response.status()}`);
  return (await page.locator('body').innerText()).replace(/\s+/g, ' ').trim();
}

async function run() {
  root = fs.mkdtempSync(path.join(os.tmpdir(), 'pellora-upload-'));
  if (!fs.existsSync(binary)) fail(`no server binary at ${binary}: build first, or pass its path`);
  const port = await startServer();
  const page = await openBrowser();
  const drive = path.join(root, 'drive');
  const sources = path.join(root, 'sources');
  const write = (name, bytes) => {
    fs.writeFileSync(path.join(sources, name), bytes);
    return path.join(sources, name);
  };
  const tricky = trickyBytes();
  const cases = [
    {
      title: 'a binary file with CR LF and boundary-like bytes',
      form: '/@upload.htm/C/docs/', offered: 'C:\\docs\\', source: write('tricky.bin', tricky),
      answer: `Stored C:\\docs\\tricky.bin (${tricky.length} bytes).`, stored: 'docs/tricky.bin', bytes: tricky,
    },
    {
      title: 'a 0-byte file',
      form: '/@upload.htm/C/docs/', offered: 'C:\\docs\\', source: write('empty.txt', ''),
      answer: 'Stored C:\\docs\\empty.txt (0 bytes).', stored: 'docs/empty.txt', bytes: Buffer.alloc(0),
    },
    {
      title: 'a name the browser escapes in the form data',
      form: '/@upload.htm/C/docs/', offered: 'C:\\docs\\', source: write('say "hi" <now>.txt', 'hi'),
      answer: 'Stored C:\\docs\\say "hi" <now>.txt (2 bytes).', stored: 'docs/say "hi" <now>.txt',
      bytes: Buffer.from('hi'),
    },
    {
      title: 'the destination edited into a full name',
      form: '/@upload.htm', offered: '', destination: 'C:\\renamed.bin', source: write('orig.bin', tricky),
      answer: `Stored C:\\renamed.bin (${tricky.length} bytes).`, stored: 'renamed.bin', bytes: tricky,
    },
    {
      title: 'the same name again is stored beside the first',
      form: '/@upload.htm/C/docs/', offered: 'C:\\docs\\', source: path.join(sources, 'tricky.bin'),
      answer: `Stored C:\\docs\\tricky (2).bin (${tricky.length} bytes). C:\\docs\\tricky.bin already exists, ` +
        'so the file was stored under a new name.',
      stored: 'docs/tricky (2).bin', bytes: tricky,
    },
  ];
  let failed = 0;
  for (const c of cases) {
    let problem = null;
    try {
      const text = await upload(page, port, c.form, c.offered, c.source, c.destination);
      if (!text.includes(c.answer)) fail(`the answer reads "${text}", not "${c.answer}"`);
      const storedPath = path.join(drive, c.stored);
      if (!fs.existsSync(storedPath)) fail(`nothing at ${c.stored}; the drive holds ${fs.readdirSync(drive, { recursive: true })}`);
      if (!fs.readFileSync(storedPath).equals(c.bytes)) fail(`${c.stored} differs from what was sent`);
    } catch (error) {
      problem = error.message;
    }
    if (problem) failed += 1;
    console.log(`${problem ? 'FAIL' : 'ok  '} ${c.title}${problem ? `\n     ${problem}` : ''}`);
  }
  await page.goto('about:blank').catch(() => {});
  const ended = await stopServer();
  if (!(ended && ended.code === 0)) {
    failed += 1;
    console.log(`FAIL server did not exit cleanly: ${JSON.stringify(ended)}`);
  }
  const left = fs.readdirSync(path.join(root, 'tmp'));
  if (left.length) {
    failed += 1;
    console.log(`FAIL temporary files left behind: ${left.join(', ')}`);
  }
  return failed;
}

async function cleanUp() {
  await stopServer().catch(() => {});
  if (context) await context.close().catch(() => {});
  context = null;
  if (root) fs.rmSync(root, { recursive: true, force: true });
  root = null;
}

for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) {
  process.on(signal, () => {
    console.log(`FAIL stopped by ${signal}`);
    cleanUp().finally(() => process.exit(1));
  });
}
await runToTheEnd(run, cleanUp, kWholeRunLimit, 'the uploads');
