// A person's walk in headless chromium: "/", drive C, a directory, files whose links a browser
// rewrites unless encoded just so, the upload form with a real file, a video it seeks in.
import { spawn, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const repo = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '..', '..');
const binary = path.resolve(process.argv[2] ?? path.join(repo, 'build', 'pellora'));
// A backslash the browser would turn into a slash, an escape it would undo, a name beyond ASCII.
const kNames = ['my report.txt', 'café.txt', 'a%20b.txt', '%41.txt', 'back\\slash.txt'];
// Every byte value, and lines that look like the form's own boundary.
const kUpload = Buffer.concat([Buffer.from([...Array(256).keys()]), Buffer.from('\r\n------WebKitFormBoundary\r\n--\r\n')]);

const root = fs.mkdtempSync(path.join(os.tmpdir(), 'pellora-browser-'));
const drive = path.join(root, 'drive');
let child = null, context = null;
const fail = (message) => { throw new Error(message); };

function makeDrive() {
  for (const name of ['drive/docs', 'drive/media', 'tmp', 'config', 'home']) fs.mkdirSync(path.join(root, name), { recursive: true });
  kNames.forEach((name, i) => fs.writeFileSync(path.join(drive, 'docs', name), `file number ${i}\n`));
  // Three seconds of a moving gradient, 64 by 48 at 10 frames a second, as a VP8 WebM.
  const chunks = [Buffer.from('YUV4MPEG2 W64 H48 F10:1 Ip A1:1 C420jpeg\n')];
  for (let frame = 0; frame < 30; frame += 1) {
    const luma = Buffer.alloc(64 * 48).map((_, i) => (i % 64 + frame * 8) & 0xff);
    chunks.push(Buffer.from('FRAME\n'), luma, Buffer.alloc(64 * 48 / 2, 128));
  }
  const raw = path.join(root, 'clip.y4m');
  fs.writeFileSync(raw, Buffer.concat(chunks));
  const encoded = spawnSync('vpxenc', ['--codec=vp8', '--quiet', '--target-bitrate=200', '-o',
    path.join(drive, 'media', 'clip.webm'), raw]);
  if (encoded.status !== 0) fail(`vpxenc could not make the video: ${encoded.stderr}`);
  fs.writeFileSync(path.join(drive, 'media', 'clip.htm'),
    '<html><body><video id="clip" src="clip.webm" preload="auto" muted></video></body></html>');
}

// The demo's options file (the reader takes lines in order, so it keeps the key list current).
function optionsText(port) {
  const values = { Port: port, RootOption: 0, DirOption: 0, UseTable: 1, IpOption: 0, DirAccessOption: 0,
    LogOption: 1, LogFile: 'C:\\access.log', UploadOn: 1, UploadAccessType: 1, IncludeUploadLink: 1 };
  const text = fs.readFileSync(path.join(repo, 'demo', 'demo.opt'), 'latin1')
    .replace(/^(\w+):.*$/gm, (line, key) => (key in values ? `${key}:${values[key]}` : line));
  const unset = Object.keys(values).filter((key) => !text.includes(`\n${key}:${values[key]}`));
  return unset.length ? fail(`demo/demo.opt has no line for ${unset}`) : text;
}

async function startServer() {
  const probe = net.createServer().listen(0, '127.0.0.1');
  await new Promise((resolve) => probe.on('listening', resolve));
  const { port } = probe.address();
  await new Promise((resolve) => probe.close(resolve));
  const options = path.join(root, 'walk.opt');
  fs.writeFileSync(options, optionsText(port), 'latin1');
  child = spawn(binary, [options], { stdio: ['ignore', 'pipe', 'pipe'], env: { ...process.env,
    PELLORA_DRIVES: `C=${drive}`, PELLORA_HEADLESS: '1', TMPDIR: path.join(root, 'tmp'),
    XDG_CONFIG_HOME: path.join(root, 'config'), HOME: path.join(root, 'home') } });
  let output = '';
  for (const stream of [child.stdout, child.stderr]) stream.on('data', (chunk) => { output += chunk; });
  for (let waited = 0; !output.includes(`Listening on Port: [${port}]`); waited += 20) {
    if (waited > 10_000 || child.exitCode !== null) fail(`the server did not listen: ${output}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  return `http://127.0.0.1:${port}`;
}

// Clicks the link shown as `text` (a trailing slash or backslash allowed) and waits for the page it leads to.
async function follow(page, text) {
  const pattern = new RegExp(`^\\s*${text.replace(/[.*+?^${}()|[\]\\]/g, '\\$&')}[/\\\\]?\\s*$`, 'i');
  const links = page.locator('a').filter({ hasText: pattern });
  if ((await links.count()) === 0) fail(`no link "${text}" on ${page.url()}: ${await page.locator('a').allInnerTexts()}`);
  const [response] = await Promise.all([page.waitForNavigation(), links.first().click()]);
  if (response.status() !== 200) fail(`"${text}" led to ${response.url()}: ${response.status()}`);
  const broken = await page.$$eval('img', (images) => Promise.all(images.map((image) => image.decode()
    .then(() => null, () => image.src))).then((sources) => sources.filter(Boolean)));
  if (broken.length) fail(`pictures that did not load on ${page.url()}: ${broken}`);
  return response;
}

async function walk(page, url) {
  await page.goto(`${url}/`);
  for (const link of ['C:', 'docs']) await follow(page, link);
  const listing = page.url();
  for (const [i, name] of kNames.entries()) {
    const body = (await (await follow(page, name)).body()).toString('latin1');
    if (body !== `file number ${i}\n`) fail(`the link of "${name}" reached ${page.url()}: ${JSON.stringify(body)}`);
    await page.goto(listing);
  }
  await follow(page, '<upload>');
  // The form's destination is the listing's directory, where the file must land.
  await page.setInputFiles('input[name="upl-file"]', { name: 'up.bin', mimeType: 'application/octet-stream', buffer: kUpload });
  const [answer] = await Promise.all([page.waitForNavigation(), page.click('input[type="submit"]')]);
  if (!(await answer.text()).includes('Stored <B>C:\\docs\\up.bin</B>')) fail(`the upload was answered: ${await answer.text()}`);
  if (!fs.readFileSync(path.join(drive, 'docs', 'up.bin')).equals(kUpload)) fail('the stored upload differs');

  // Playing the video and jumping to its middle, the browser asks for parts of the file.
  await page.goto(`${url}/c/media/clip.htm`);
  const seek = await page.evaluate(async () => {
    const video = document.getElementById('clip');
    const event = (name) => new Promise((resolve, reject) => {
      video.addEventListener(name, resolve, { once: true });
      video.addEventListener('error', () => reject(new Error(`video error ${video.error?.code}`)), { once: true });
    });
    if (video.readyState < 1) await event('loadedmetadata');
    video.currentTime = video.duration / 2;
    await event('seeked');
    return { duration: video.duration, time: video.currentTime };
  });
  if (Math.abs(seek.duration - 3) > 0.5 || Math.abs(seek.time - seek.duration / 2) > 0.2) fail(`the video seeked: ${JSON.stringify(seek)}`);
  const log = fs.readFileSync(path.join(drive, 'access.log'), 'latin1');
  if (!/, 206, 0, GET, \/c\/media\/clip\.webm\r\n/.test(log)) fail(`no part of the video was asked for:\n${log}`);
}

async function cleanUp() {
  if (child && child.exitCode === null && child.signalCode === null) child.kill('SIGKILL');
  await context?.close().catch(() => {});
  fs.rmSync(root, { recursive: true, force: true });
}

async function run() {
  makeDrive();
  const url = await startServer();
  // A profile of its own, and none of the browser's calls home: this machine's network is closed.
  context = await chromium.launchPersistentContext(path.join(root, 'profile'), {
    executablePath: process.env.PELLORA_CHROMIUM ?? '/usr/bin/chromium', headless: true, args: ['--no-sandbox',
      '--disable-gpu', '--no-first-run', '--disable-background-networking', '--disable-component-update', '--disable-sync'] });
  context.setDefaultTimeout(15_000);
  await walk(context.pages()[0] ?? await context.newPage(), url);
}

// Below ctest's limit, so a hung run still cleans up after itself.
const limit = setTimeout(() => { console.log('FAIL the walk took longer than 150 s'); cleanUp().finally(() => process.exit(1)); }, 150_000);
for (const signal of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(signal, () => cleanUp().finally(() => process.exit(1)));
const failure = await run().then(() => null, (error) => error);
clearTimeout(limit);
await cleanUp();
console.log(failure ? `FAIL ${failure.message}` : 'ok   the walk through drive index, listing, files, upload and video');
process.exit(failure ? 1 : 0);
