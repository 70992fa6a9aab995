// Walks a real Pellora server in Debian's headless chromium, as a person would: from
// "/" into drive C, into a directory, and onto files whose names need encoding in a
// URL or are spelt like another file's link; then loads every built-in image.
//
//   node tests/browser/walk.mjs [path/to/pellora]
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
// Below ctest's limit, so a hung run still cleans up after itself.
const kWholeRunLimit = 150_000;

const kBuiltinImages = ['file_htm.gif', 'file_txt.gif', 'file_img.gif', 'file_aud.gif', 'file_vid.gif',
  'file_app.gif', 'file.gif', 'dir.gif', 'home.gif', 'upload.gif'];

// Names a browser must encode in a URL, beside one it need not, and names literally
// spelt like another's link: each link must reach its own file. The contents stay
// ASCII: the browser hands back text bodies decoded, so only ASCII compares byte for byte.
const kFiles = {
  'my report.txt': 'Quarterly report\r\nwith a blank in its name.\n',
  'café.txt': 'Cafe au lait: bytes beyond ASCII in the name.\n',
  'plain.txt': 'Nothing special about this one.\n',
  'a b.txt': 'a blank\n',
  'a%20b.txt': 'named like the link of "a b.txt"\n',
  'a%2520b.txt': 'named like the link of "a%20b.txt"\n',
  '100%.txt': 'a percent sign that escapes nothing\n',
  '%41.txt': 'named like an escaped A\n',
  'A.txt': 'the A itself\n',
  'back\\slash.txt': 'a backslash, which is no separator in a name\n',
};

let root = null;
let server = null;
let context = null;
let stopping = false;

// The demo's options file with the answers this walk relies on; the reader takes the
// lines in order, so the demo file keeps the key list current.
function optionsText(port, useTable) {
  const wanted = { Port: port, RootOption: 0, DirOption: 0, UseTable: useTable, IpOption: 0,
    DirAccessOption: 0, LogOption: 0 };
  const lines = fs.readFileSync(path.join(repo, 'demo', 'demo.opt'), 'latin1').split('\r\n');
  const seen = new Set();
  const out = lines.map((line) => {
    const key = line.slice(0, line.indexOf(':'));
    if (!(key in wanted)) return line;
    seen.add(key);
    return `${key}:${wanted[key]}`;
  });
  for (const key of Object.keys(wanted)) {
    if (!seen.has(key)) fail(`demo/demo.opt has no ${key} line to set`);
  }
  return out.join('\r\n');
}

function makeDrive() {
  const drive = path.join(root, 'drive');
  fs.mkdirSync(path.join(drive, 'docs'), { recursive: true });
  for (const [name, text] of Object.entries(kFiles)) {
    fs.writeFileSync(path.join(drive, 'docs', name), text);
  }
  for (const name of ['tmp', 'config', 'home']) fs.mkdirSync(path.join(root, name));
  return drive;
}

async function startServer(useTable) {
  const port = await freePort();
  const options = path.join(root, `style${useTable}.opt`);
  fs.writeFileSync(options, optionsText(port, useTable), 'latin1');
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

async function answerText(response) {
  const body = await response.text().catch(() => '');
  return `${response.status()} ${body.replace(/<[^>]*>/g, ' ').replace(/\s+/g, ' ').trim().slice(0, 200)}`;
}

function escapeRegExp(text) {
  return text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
}

// Clicks the one link whose visible text is `text` (a trailing slash or backslash
// allowed, as listings write directories and drives) and returns the page's new response.
async function follow(page, text) {
  const pattern = new RegExp(`^\\s*${escapeRegExp(text)}[/\\\\]?\\s*$`, 'i');
  const links = page.locator('a').filter({ hasText: pattern });
  if ((await links.count()) === 0) {
    const seen = (await page.locator('a').allInnerTexts()).filter((t) => t.trim());
    const misread = Buffer.from(text).toString('latin1');
    if (misread !== text && seen.some((t) => t.includes(misread))) {
      fail(`${page.url()} shows "${text}" as "${misread}": the browser read the name's UTF-8 bytes as ` +
        'windows-1252, as the page declares no character set');
    }
    fail(`no link "${text}" on ${page.url()}; links: ${JSON.stringify(seen)}`);
  }
  const navigated = page.waitForEvent('response',
    (r) => r.request().isNavigationRequest() && r.request().frame() === page.mainFrame());
  await links.first().click();
  const response = await navigated;
  await page.waitForLoadState('load');
  if (response.status() !== 200) fail(`"${text}" led to ${response.url()}: ${await answerText(response)}`);
  return response;
}

// Every picture on the page arrived and decoded.
async function checkImagesLoaded(page) {
  const broken = await page.$$eval('img', (images) => Promise.all(images.map(async (image) => {
    try {
      await image.decode();
    } catch {
      // Reported below by its width.
    }
    return image.naturalWidth > 0 ? null : image.src;
  })).then((sources) => sources.filter(Boolean)));
  if (broken.length) fail(`pictures that did not load on ${page.url()}: ${broken.join(', ')}`);
}

async function walk(page, port) {
  const start = await page.goto(`http://127.0.0.1:${port}/`);
  if (start.status() !== 200) fail(`/ answered ${await answerText(start)}`);
  await checkImagesLoaded(page);
  await follow(page, 'C:');
  await checkImagesLoaded(page);
  await follow(page, 'docs');
  await checkImagesLoaded(page);
  const listing = page.url();
  const problems = [];
  for (const [name, text] of Object.entries(kFiles)) {
    try {
      const response = await follow(page, name);
      const body = await response.body();
      if (!body.equals(Buffer.from(text))) {
        fail(`"${name}" at ${response.url()} arrived as ${JSON.stringify(body.toString('latin1'))}, ` +
          `not ${JSON.stringify(text)}`);
      }
    } catch (error) {
      problems.push(error.message);
    }
    await page.goto(listing);
  }
  if (problems.length) fail(problems.join('\n     '));
}

async function builtinImages(page, port) {
  const imagesDir = path.join(path.dirname(binary), 'images');
  for (const name of kBuiltinImages) {
    const response = await page.goto(`http://127.0.0.1:${port}/@${name}`);
    if (response.status() !== 200) fail(`/@${name} answered ${await answerText(response)}`);
    const type = response.headers()['content-type'];
    if (type !== 'image/gif') fail(`/@${name} came as "${type}", not image/gif`);
    const body = await response.body();
    if (!body.equals(fs.readFileSync(path.join(imagesDir, name)))) fail(`/@${name} differs from ${imagesDir}`);
    const width = await page.evaluate(async () => {
      const image = document.querySelector('img');
      if (!image) return 0;
      await image.decode().catch(() => {});
      return image.naturalWidth;
    });
    if (!(width > 0)) fail(`/@${name} did not decode in the browser`);
  }
}

async function run() {
  root = fs.mkdtempSync(path.join(os.tmpdir(), 'pellora-browser-'));
  if (!fs.existsSync(binary)) fail(`no server binary at ${binary}: build first, or pass its path`);
  makeDrive();
  const page = await openBrowser();
  const cases = [
    ['walks from / to the files, table style', 1, walk],
    ['walks from / to the files, PRE style', 0, walk],
    ['serves the ten built-in images', 1, builtinImages],
  ];
  let failed = 0;
  for (const [title, useTable, body] of cases) {
    if (stopping) break;
    let problem = null;
    try {
      const port = await startServer(useTable);
      await body(page, port);
    } catch (error) {
      problem = error.message;
    }
    const temporary = path.join(root, 'tmp');
    await page.goto('about:blank').catch(() => {});
    const ended = await stopServer();
    if (!problem && !(ended && ended.code === 0)) problem = `server did not exit cleanly: ${JSON.stringify(ended)}`;
    const left = fs.readdirSync(temporary);
    if (!problem && left.length) problem = `temporary files left behind: ${left.join(', ')}`;
    for (const name of left) fs.rmSync(path.join(temporary, name), { recursive: true, force: true });
    if (problem) failed += 1;
    console.log(`${problem ? 'FAIL' : 'ok  '} ${title}${problem ? `\n     ${problem}` : ''}`);
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
    stopping = true;
    console.log(`FAIL stopped by ${signal}`);
    cleanUp().finally(() => process.exit(1));
  });
}
await runToTheEnd(run, cleanUp, kWholeRunLimit, 'the walk', () => { stopping = true; });
