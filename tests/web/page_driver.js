// Serves built pages on a local port and drives them in headless Chromium
// (puppeteer-core); shared by the web tests and the frame timing.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');
const puppeteer = require('puppeteer-core');

const TYPES = {'.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm'};

// Serves the folders under root on 127.0.0.1 (a free port); resolves to the
// server. The page is cross-origin isolated, so its clock is precise.
function serve(root) {
  const server = http.createServer((req, res) => {
    let file = path.normalize(path.join(root, decodeURIComponent(req.url.split('?')[0])));
    if (file.endsWith(path.sep)) file = path.join(file, 'index.html');
    if (!file.startsWith(path.normalize(root))) { res.writeHead(403); res.end(); return; }
    fs.readFile(file, (err, data) => {
      if (err) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, {'Content-Type': TYPES[path.extname(file)] || 'application/octet-stream',
                          'Cross-Origin-Opener-Policy': 'same-origin',
                          'Cross-Origin-Embedder-Policy': 'require-corp'});
      res.end(data);
    });
  });
  return new Promise(resolve => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Starts headless Chromium (Debian's, or CHROMIUM); every wait is bounded.
function launch() {
  return puppeteer.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    timeout: 30000,
    protocolTimeout: 30000,
    args: ['--no-sandbox', '--disable-dev-shm-usage', '--disable-gpu'],
  });
}

// Opens a page of the site and collects its errors and console lines.
async function open(browser, server, folder, query) {
  const page = await browser.newPage();
  page.errors = [];
  page.lines = [];
  page.on('pageerror', e => page.errors.push(e.message));
  page.on('console', m => page.lines.push(m.text()));
  await page.setViewport({width: 1300, height: 720});
  page.setDefaultTimeout(15000);
  const url = `http://127.0.0.1:${server.address().port}/${folder}/${query ? '?' + query : ''}`;
  await page.goto(url, {timeout: 20000});
  return page;
}

module.exports = {serve, launch, open};
