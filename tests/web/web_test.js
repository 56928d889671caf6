// The game and an example in a web page, driven in headless Chromium: the
// scene's pixels, a click starting an action, Ctrl+letter commands, the
// script file recorded, downloaded and played back, the page idling while
// the game is halted, keys of a French layout and an input method's text,
// and a program's exit.
//   node --test web_test.js   (SITE: the folder scripts/web.sh built into;
//                              SCREENSHOT: where to save the game's page)
'use strict';
const assert = require('node:assert/strict');
const fs = require('fs');
const os = require('os');
const path = require('path');
const {test, before, after} = require('node:test');
const {serve, launch, open} = require('./page_driver');

const SITE = process.env.SITE || path.join(__dirname, '../../build-web/site');
const MENU = 19;                 // the menu bar above the client area
const ORIGIN = {x: 297, y: 238};  // package (0, 0) in the client area
const SEA_GREEN = 0x33cc99, BLACK = 0x000000;
let server, browser;

before(async () => {
  server = await serve(SITE);
  browser = await launch();
});
after(async () => {
  if (browser) await browser.close();
  if (server) server.close();
});

// The canvas point of a package point in the drawing window.
function canvasPoint(x, y) { return {x: ORIGIN.x + x, y: ORIGIN.y - y + MENU}; }

// Pixels 0xRRGGBB of a window's canvas (by its title) at canvas points.
function pixels(page, title, points) {
  return page.evaluate((title, points) => {
    const box = [...document.querySelectorAll('.kaplo-window')]
      .find(b => b.querySelector('figcaption').firstChild.textContent === title);
    if (!box) return null;
    const g = box.querySelector('canvas').getContext('2d');
    return points.map(p => {
      const d = g.getImageData(p.x, p.y, 1, 1).data;
      return (d[0] << 16) | (d[1] << 8) | d[2];
    });
  }, title, points);
}

// The package point's pixel in the drawing window.
async function at(page, x, y) {
  const p = await pixels(page, 'KAPLO Graphics', [canvasPoint(x, y)]);
  return p ? p[0] : -1;
}

// Whether the action panel's black box shows (on the row above its bottom edge).
async function panelShown(page) {
  const row = [];
  for (let x = -145; x <= 20; x++) row.push(canvasPoint(x, -204));
  const p = await pixels(page, 'KAPLO Graphics', row);
  return !!p && p.includes(BLACK);
}

// Waits (bounded) until check(page) holds; fails with what was waited for.
async function until(page, what, check, ms = 10000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await check(page)) return;
    await new Promise(r => setTimeout(r, 40));
  }
  assert.fail(`timed out after ${ms} ms waiting for ${what}`);
}

// Clicks a package point of the drawing window.
async function click(page, x, y) {
  const box = await page.$eval('.kaplo-window canvas', c => {
    const r = c.getBoundingClientRect();
    return {left: r.left, top: r.top};
  });
  const p = canvasPoint(x, y);
  await page.mouse.click(box.left + p.x + 0.5, box.top + p.y + 0.5);
}

// Ctrl+letter, as a user types it.
async function ctrl(page, letter) {
  await page.keyboard.down('Control');
  await page.keyboard.press('Key' + letter.toUpperCase());
  await page.keyboard.up('Control');
}

// The script file in the page's file system, as text ('' when none).
function script(page) {
  return page.evaluate(() => {
    const data = Module.kaplo.readScript();
    return data ? new TextDecoder('latin1').decode(data) : '';
  });
}

// Clicks Energy Shield and waits for the action to take the panel away and give it back.
async function energyShield(page, start) {
  await start();
  await until(page, 'the action to take the panel away', p => panelShown(p).then(s => !s), 5000);
  await until(page, 'the panel to come back after the action', panelShown, 15000);
}

test('the game in a page: scene, actions, Ctrl+letter commands and the script file', {timeout: 120000}, async () => {
  const page = await open(browser, server, 'kaplo_game');
  await until(page, 'the first frame', p => at(p, 0, -100).then(c => c === SEA_GREEN), 20000);
  assert.equal(await at(page, -280, 100), BLACK, 'night sky left of the hills');
  assert.equal(await at(page, 110, -90), SEA_GREEN, 'ground over the machine\'s foot');
  assert.ok(await panelShown(page), 'the action panel');
  if (process.env.SCREENSHOT) await page.screenshot({path: process.env.SCREENSHOT, clip: {x: 0, y: 0, width: 1250, height: 600}});

  await energyShield(page, () => click(page, 70, -189));

  // Ctrl+R, some ticks, a click on the sky, Ctrl+R: the lines the desktop writes.
  await ctrl(page, 'r');
  await new Promise(r => setTimeout(r, 400));
  await click(page, 0, 100);
  await new Promise(r => setTimeout(r, 200));
  await ctrl(page, 'r');
  await until(page, 'the download link', p => p.$eval('#kaplo-script-download', a => !a.hidden), 5000);
  const lines = await script(page);
  assert.match(lines, /^KAPLO_PERIODIC\([1-9]\d*\);\r\nKAPLO_MOUSE\(0, 100\);\r\n(KAPLO_PERIODIC\([1-9]\d*\);\r\n)?$/);
  const offered = await page.$eval('#kaplo-script-download', a =>
    fetch(a.href).then(r => r.arrayBuffer()).then(b => [a.download, new TextDecoder('latin1').decode(b)]));
  assert.deepEqual(offered, ['KAPLO.SCR', lines], 'the page offers the recorded file');

  // A script the user chooses is what Playback (Ctrl+P) plays: its click starts
  // the action, whose frames its last line's ticks then drive.
  const chosen = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'kaplo-web-')), 'shield.scr');
  fs.writeFileSync(chosen, 'KAPLO_PERIODIC(2);\r\nKAPLO_MOUSE(70, -189);\r\nKAPLO_PERIODIC(45);\r\n');
  await (await page.$('#kaplo-script-file')).uploadFile(chosen);
  await until(page, 'the chosen script to become KAPLO.SCR',
    p => script(p).then(s => s.startsWith('KAPLO_PERIODIC(2);')), 5000);
  await page.click('.kaplo-window figcaption');  // the keys go back to the game's window
  await energyShield(page, () => ctrl(page, 'p'));

  // Halted, the page sleeps until input: next to no processor time in two seconds.
  await ctrl(page, 'h');
  await new Promise(r => setTimeout(r, 300));
  const before = (await page.metrics()).TaskDuration;
  await new Promise(r => setTimeout(r, 2000));
  const busy = ((await page.metrics()).TaskDuration - before) / 2;
  console.log(`halted game: the page used ${(busy * 100).toFixed(2)}% of a processor`);
  assert.ok(busy < 0.2, `a halted game keeps the page ${(busy * 100).toFixed(0)}% busy`);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('keys as the page\'s layout has them: letters, accents, Ctrl+Q by its label, an input method\'s text', {timeout: 60000}, async () => {
  const page = await open(browser, server, 'kaplo_game');
  await until(page, 'the first frame', p => at(p, 0, -100).then(c => c === SEA_GREEN), 20000);
  await page.click('.kaplo-window figcaption');
  // Key events as a French keyboard makes them: code is the key's place on a
  // US keyboard, key what the layout types there; [code, key, true] with Ctrl.
  const press = list => page.evaluate(list => {
    const send = (type, code, key, ctrlKey) => document.activeElement.dispatchEvent(
      new KeyboardEvent(type, {code, key, ctrlKey, bubbles: true, cancelable: true}));
    for (const [code, key, ctrl] of list) {
      if (ctrl) send('keydown', 'ControlLeft', 'Control', true);
      send('keydown', code, key, !!ctrl);
      send('keyup', code, key, !!ctrl);
      if (ctrl) send('keyup', 'ControlLeft', 'Control', false);
    }
  }, list);
  await press([['KeyR', 'r', true], ['KeyQ', 'a'], ['Digit2', '\u00e9'], ['Semicolon', 'm'], ['KeyM', ',']]);
  await page.evaluate(() => document.activeElement.dispatchEvent(
    new CompositionEvent('compositionend', {data: '\u5b57'.repeat(50), bubbles: true})));
  await press([['KeyR', 'r', true]]);
  await until(page, 'the download link', p => p.$eval('#kaplo-script-download', a => !a.hidden), 5000);
  const typed = [...(await script(page)).matchAll(/KAPLO_KBD\((\d+)\)/g)].map(m => +m[1]);
  assert.deepEqual(typed, [97, 195, 169, 109, 44, ...Array(50).fill([229, 173, 151]).flat()]);
  await press([['KeyA', 'q', true]]);  // the key labelled Q, where US keyboards have A
  await until(page, 'the program to end', p => p.evaluate(() => document.body.dataset.ended === '0'), 5000);
  assert.deepEqual(page.errors, []);
  await page.close();
});

test('an example in a page: its pages of shapes and text, the log window and the close box', {timeout: 60000}, async () => {
  const page = await open(browser, server, 'shapes');
  await until(page, 'the filled shapes', p => at(p, -190, 95).then(c => c === 0xff6600), 20000);
  await click(page, 0, 0);
  await until(page, 'the page of outlines', p => at(p, -190, 95).then(c => c === 0xffffff), 5000);
  await click(page, 0, 0);
  const words = [];
  for (let x = 60; x < 200; x += 2) for (let y = 50; y < 95; y++) words.push(canvasPoint(x, y));
  await until(page, 'the texts drawn in forest green with the browser\'s glyphs',
    p => pixels(p, 'KAPLO Graphics', words).then(c => c.includes(0x006633)), 5000);
  await page.keyboard.press('KeyD');  // describing on: the log window shows the calls
  const log = [];
  for (let x = 2; x < 300; x += 2) for (let y = 2; y < 150; y += 2) log.push({x, y});
  await until(page, 'lines in the log window',
    p => pixels(p, 'KAPLO Text', log).then(c => !!c && c.some(v => v !== 0xffffff)), 5000);
  await page.click('.kaplo-window .kaplo-close');  // the drawing window's close box ends it
  await until(page, 'the program to end', p => p.evaluate(() => document.body.dataset.ended === '0'), 5000);
  assert.equal(await page.$$eval('.kaplo-window', w => w.length), 0, 'its windows are gone');
  assert.deepEqual(page.errors, []);
  await page.close();
});
