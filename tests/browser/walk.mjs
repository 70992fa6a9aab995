// Walks a real Pellora server in Debian's headless chromium, as a person would: from
// "/" into drive C, into a directory, and onto files whose names need encoding in a
// URL or are spelt like another file's link; then loads every built-in image.
//
//   node tests/browser/walk.mjs [path/to/pellora]
//
// Exits 1 after printing what failed. The server, the browser and the temporary
// directory are removed whatever happens.
import { spawnSync } from 'node:child_process';
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
// lines in order, so the demo file keeps the key list current. The log is kept on drive C.
function optionsText(port, useTable) {
  const wanted = { Port: port, RootOption: 0, DirOption: 0, UseTable: useTable, IpOption: 0,
    DirAccessOption: 0, LogOption: 1, LogFile: 'C:\\access.log' };
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
  makeVideo(path.join(drive, 'media'));
  return drive;
}

// Three seconds of a moving gradient, 64 by 48 at 10 frames a second, made into a VP8
// WebM by vpxenc (Debian's vpx-tools), and a page that shows it.
function makeVideo(directory) {
  fs.mkdirSync(directory);
  const [width, height, frames] = [64, 48, 30];
  const chunks = [Buffer.from(`YUV4MPEG2 W${width} H${height} F10:1 Ip A1:1 C420jpeg\n`)];
  for (let frame = 0; frame < frames; frame += 1) {
    const luma = Buffer.alloc(width * height);
    for (let i = 0; i < luma.length; i += 1) luma[i] = (i % width + frame * 8) & 0xff;
    chunks.push(Buffer.from('FRAME\n'), luma, Buffer.alloc(width * height / 2, 128));
  }
  const raw = path.join(directory, 'clip.y4m');
  fs.writeFileSync(raw, Buffer.concat(chunks));
  const encoded = spawnSync('vpxenc', ['--codec=vp8', '--quiet', '--target-bitrate=200', '-o',
    path.join(directory, 'clip.webm'), raw]);
  if (encoded.status !== 0) fail(`vpxenc could not make the video: ${encoded.stderr}`);
  fs.rmSync(raw);
  fs.writeFileSync(path.join(directory, 'clip.htm'),
    '<html><body><video id="clip" src="clip.webm" preload="auto" muted></video></body></html>');
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

// A person plays the video and jumps to its middle: the browser asks for parts of the
// file, and the server answers them (206, in its log).
async function seekInVideo(page, port) {
  const response = await page.goto(`http://127.0.0.1:${port}/c/media/clip.htm`);
  if (response.status() !== 200) fail(`the video page answered ${await answerText(response)}`);
  const result = await page.evaluate(() => new Promise((resolve) => {
    const video = document.getElementById('clip');
    const report = (what) => resolve({ what, duration: video.duration, time: video.currentTime,
      error: video.error ? video.error.message || String(video.error.code) : null });
    video.addEventListener('error', () => report('error'));
    const seek = () => {
      video.addEventListener('seeked', () => report('seeked'), { once: true });
      video.currentTime = video.duration / 2;
    };
    if (video.readyState >= 1) seek(); else video.addEventListener('loadedmetadata', seek, { once: true });
  }));
  if (result.what !== 'seeked') fail(`the video did not seek: ${JSON.stringify(result)}`);
  if (!(result.duration > 2.5 && result.duration < 3.5)) fail(`the video's duration is ${result.duration}`);
  if (Math.abs(result.time - result.duration / 2) > 0.2) {
    fail(`the video stands at ${result.time} s after seeking to ${result.duration / 2} s`);
  }
  const log = fs.readFileSync(path.join(root, 'drive', 'access.log'), 'latin1');
  if (!/, 206, 0, GET, \/c\/media\/clip\.webm\r\n/.test(log)) fail(`no part of the video was asked for:\n${log}`);
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
    ['plays a video and seeks to its middle', 1, seekInVideo],
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
