// Runs the frame timer's page (scripts/web.sh --frame-timer) in headless
// Chromium and prints the line it prints: the game's frame timed in the page.
//   node frame_page.js SITE FRAMES
'use strict';
const {serve, launch, open} = require('./page_driver');

(async () => {
  const [site, frames] = process.argv.slice(2);
  const server = await serve(site);
  const browser = await launch();
  let code = 1;
  try {
    const page = await open(browser, server, 'frame_timer', String(frames || 2000));
    const end = Date.now() + 120000;
    let line;
    while (!(line = page.lines.find(l => l.startsWith('frames '))) && !page.errors.length && Date.now() < end)
      await new Promise(r => setTimeout(r, 100));
    if (line) { console.log(line); code = 0; } else console.error(page.lines.concat(page.errors).join('\n'));
  } finally {
    await browser.close();
    server.close();
  }
  process.exit(code);
})().catch(e => { console.error(e.message); process.exit(1); });
