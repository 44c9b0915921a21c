// The gang page: the form's round trip through its URL, a row added by script, a dozen jobs
// without script, bad input, one colour a job in the drawings, and the PDF's pages read back.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { keepScreenshot, launchBrowser, useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

// Two jobs the planner settles well within its time limit, on two layouts.
const kTwoJobs =
  'gang?sheet=700+x+500&gripper=10&job=A4&size=210x297&qty=1000&job=A6&size=148%C3%97105&qty=3000';

// Planning a gang takes seconds where the other pages take milliseconds, more on a busy machine.
const kPlanning = { timeout: 60_000 };

async function open(page, query) {
  return (await page.goto(site.host.url(query), kPlanning)).status();
}
const text = (page, selector) => page.locator(selector).innerText();
const submit = (page, url) =>
  Promise.all([page.waitForURL(url, kPlanning), page.locator('#gang-form button[type=submit]').click(kPlanning)]);
const count = (figure) => Number(figure.replace(/[^\d.]/g, ''));

it('round-trips the form through its URL and shows each job and layout', async (page) => {
  assert.equal(await open(page, kTwoJobs), 200);
  assert.equal(await page.locator('#f-size-1').inputValue(), '148×105');
  await page.locator('#f-gutter').fill('2');
  await page.locator('#f-jgrain-0').selectOption('length');
  await submit(page, /gutter=2/);
  const query = new URL(page.url()).searchParams;
  assert.deepEqual(query.getAll('job'), ['A4', 'A6', ...Array(10).fill('')]);
  assert.equal(query.getAll('jgrain')[0], 'length');
  assert.equal(await page.locator('#f-gutter').inputValue(), '2');
  assert.equal(await page.locator('#f-jgrain-0').inputValue(), 'length');

  const layouts = count(await text(page, '#layouts'));
  assert.equal(await page.locator('section.layout').count(), layouts);
  // The sheets are the layouts' runs; each job gets at least its quantity.
  let runs = 0;
  for (const run of await page.locator('.layout-figures .runs').allInnerTexts()) runs += count(run);
  assert.equal(count(await text(page, '#sheets')), runs);
  for (const row of await page.locator('#job-table tbody tr').all()) {
    const [quantity, produced, overs] = await Promise.all(
      ['.quantity', '.produced', '.overs'].map(async (c) => count(await row.locator(c).innerText())));
    assert.ok(produced >= quantity);
    assert.equal(overs, produced - quantity);
  }
  // True proportions.
  const sheet = await page.locator('#layout-1 svg rect.sheet').boundingBox();
  assert.ok(Math.abs(sheet.width / sheet.height - 700 / 500) < 0.01);
  const sheets = await text(page, '#sheets');
  await page.reload();
  assert.equal(await text(page, '#sheets'), sheets);
  await keepScreenshot(page, 'gang-plan');
});

it('draws each job in its own colour, the same in every layout and in the job table', async (page) => {
  await open(page, kTwoJobs);
  const colours = await page.evaluate(() => {
    const byJob = {};
    for (const rect of document.querySelectorAll('section.layout svg rect.piece')) {
      const job = [...rect.classList].find((c) => c.startsWith('job-'));
      (byJob[job] ??= new Set()).add(getComputedStyle(rect).fill);
    }
    const swatches = [...document.querySelectorAll('#job-table .swatch')].map(
      (s) => getComputedStyle(s).backgroundColor);
    return { byJob: Object.fromEntries(Object.entries(byJob).map(([k, v]) => [k, [...v]])), swatches };
  });
  assert.deepEqual(Object.keys(colours.byJob).sort(), ['job-0', 'job-1']);
  for (const fills of Object.values(colours.byJob)) assert.equal(fills.length, 1);
  assert.notEqual(colours.byJob['job-0'][0], colours.byJob['job-1'][0]);
  assert.deepEqual(colours.swatches, [colours.byJob['job-0'][0], colours.byJob['job-1'][0]]);
  // Each layout's legend names the jobs it holds.
  for (const legend of await page.locator('section.layout svg .legend').all()) {
    assert.ok((await legend.locator('text').count()) >= 1);
  }
});

it('adds a row with the button, and the new job is planned', async (page) => {
  await open(page, kTwoJobs);
  const rows = page.locator('#jobs tr.job');
  assert.equal(await rows.count(), 12);
  await page.locator('#add-row').click();
  assert.equal(await rows.count(), 13);
  await page.locator('#f-job-12').fill('Label');
  await page.locator('#f-size-12').fill('60x40');
  await page.locator('#f-qty-12').fill('2000');
  await submit(page, /Label/);
  assert.equal(await page.locator('#job-table tbody tr').count(), 3);
  assert.equal(await page.locator('#job-table tr[data-item="2"] .name').innerText(), 'Label');
  assert.equal(await page.locator('#f-job-12').inputValue(), 'Label');
});

it('takes a dozen jobs without script', async () => {
  const browser = await launchBrowser({ javaScriptEnabled: false });
  try {
    const page = await browser.context.newPage();
    await page.goto(site.host.url('gang?sheet=1092x787'), kPlanning);
    assert.ok(await page.locator('#add-row').isHidden());
    for (let row = 0; row < 12; row++) {
      await page.locator(`#f-job-${row}`).fill(`J${row + 1}`);
      await page.locator(`#f-size-${row}`).fill(`${60 + 10 * row}x${40 + 5 * row}`);
      await page.locator(`#f-qty-${row}`).fill(String(500 * (row + 1)));
    }
    await Promise.all([
      page.waitForURL(/J12/, kPlanning),
      page.locator('#gang-form button[type=submit]').click(kPlanning),
    ]);
    assert.equal(await page.locator('#job-table tbody tr').count(), 12);
    assert.equal(await page.locator('#job-table tr[data-item="11"] .name').innerText(), 'J12');
    await keepScreenshot(page, 'gang-dozen-no-script');
  } finally {
    await browser.close();
  }
});

it('answers bad input with 400, the form as typed and the message in the row', async (page) => {
  let dialogs = 0;
  page.on('dialog', (dialog) => {
    dialogs += 1;
    dialog.dismiss();
  });
  const hostile = '"><img src=x onerror=alert(1)>';
  const status = await open(page,
    `gang?sheet=1092x787&job=A&size=90x54&qty=10&job=${encodeURIComponent(hostile)}&size=90x54&qty=ten`);
  assert.equal(status, 400);
  assert.equal(await page.locator('#f-job-1').inputValue(), hostile);
  assert.equal(await page.locator('#f-qty-1').inputValue(), 'ten');
  assert.equal(await page.locator('#f-qty-1').getAttribute('aria-invalid'), 'true');
  const next = page.locator('#jobs tr.job', { has: page.locator('#f-qty-1') }).locator('xpath=following-sibling::tr[1]');
  assert.ok(await next.locator('#error').isVisible());
  assert.equal(await page.locator('img').count(), 0);
  assert.equal(await page.locator('#sheets').count(), 0);
  assert.equal(dialogs, 0);
  await keepScreenshot(page, 'gang-bad-input');
});

it('prints a page of figures, then a page a layout', async (page) => {
  await open(page, kTwoJobs);
  const layouts = count(await text(page, '#layouts'));
  const sheets = await text(page, '#sheets');
  const href = await page.locator('a[href^="/gang.pdf"]').getAttribute('href');
  const response = await page.request.get(site.host.url(href.slice(1)), kPlanning);
  assert.equal(response.status(), 200);
  assert.equal(response.headers()['content-type'], 'application/pdf');
  const dir = mkdtempSync(path.join(tmpdir(), 'sheetora-gang-pdf-'));
  try {
    const file = path.join(dir, 'gang.pdf');
    writeFileSync(file, await response.body());
    const info = execFileSync('pdfinfo', [file], { encoding: 'utf8' });
    assert.equal(Number(/Pages:\s+(\d+)/.exec(info)[1]), 1 + layouts);
    const first = execFileSync('pdftotext', ['-layout', '-f', '1', '-l', '1', file, '-'], { encoding: 'utf8' });
    assert.ok(first.includes(`正数用纸：${sheets}`), first);
    for (const job of ['A4', 'A6']) assert.ok(first.includes(job), job);
    for (let n = 1; n <= layouts; n++) {
      const sheet = execFileSync('pdftotext', ['-layout', '-f', String(n + 1), '-l', String(n + 1), file, '-'],
        { encoding: 'utf8' });
      assert.ok(sheet.includes(`版 ${n} · 印`), sheet);
      assert.ok(sheet.includes('裁切顺序'), sheet);
    }
  } finally {
    rmSync(dir, { recursive: true, force: true });
  }
});
