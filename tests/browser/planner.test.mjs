// The job planner: a bookmarked plan, the form round trip, die-cut work, a job's figures, bad
// input and the printed page.
import assert from 'node:assert/strict';
import { keepScreenshot, useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

// As a clerk would bookmark it: blanks as '+', the multiplication sign percent-escaped.
const kBookmark = 'plan?sheet=1092+x+787&piece=210%C3%97140&bleed=3&gripper=10';

async function open(page, query) {
  return (await page.goto(site.host.url(query))).status();
}
const text = (page, selector) => page.locator(selector).innerText();
const submit = (page, url) =>
  Promise.all([page.waitForURL(url), page.locator('#plan-form button[type=submit]').click()]);

it('shows a bookmarked plan: the form as asked, the answer and a rect per piece', async (page) => {
  assert.equal(await open(page, kBookmark), 200);
  assert.equal(await page.locator('#f-sheet').inputValue(), '1092 x 787');
  assert.equal(await page.locator('#f-piece').inputValue(), '210×140');
  // 25 pieces with their bleed below the gripper: as many as any layout holds.
  assert.equal(await text(page, '#ups'), '25');
  assert.equal(await page.locator('#drawing svg rect.piece').count(), 25);
  assert.equal(await page.locator('#proof').getAttribute('data-proof'), 'optimal');
  assert.match(await text(page, '#utilisation'), /^\d+(\.\d+)?%$/);
  // True proportions.
  const sheet = await page.locator('#drawing svg rect.sheet').boundingBox();
  assert.ok(Math.abs(sheet.width / sheet.height - 1092 / 787) < 0.01);
  assert.equal(await page.locator('a[href="/"]').count(), 1);
  await keepScreenshot(page, 'planner-bookmark');
});

it('round-trips the form through its URL', async (page) => {
  await open(page, 'plan');
  assert.equal(await page.locator('#f-sheet').inputValue(), '1092x787');
  await page.locator('#f-piece').fill('148x105');
  await page.locator('#f-gutter').fill('2');
  await page.locator('#f-grain').selectOption('length');
  await submit(page, /piece=148x105/);
  const query = new URL(page.url()).searchParams;
  assert.equal(query.get('gutter'), '2');
  assert.equal(query.get('grain'), 'length');
  assert.equal(await page.locator('#f-gutter').inputValue(), '2');
  assert.equal(await page.locator('#f-grain').inputValue(), 'length');
  const ups = await text(page, '#ups');
  await page.reload();
  assert.equal(await text(page, '#ups'), ups);
});

it('plans die-cut work, with no cut list', async (page) => {
  await open(page, 'plan');
  await page.locator('#f-cut').selectOption('die');
  await submit(page, /cut=die/);
  assert.match(await text(page, '.summary'), /模切/);
  assert.equal(await text(page, '#ups'), '27');
  assert.equal(await page.locator('#proof').getAttribute('data-proof'), 'optimal');
  assert.equal(await page.locator('#cuts').count(), 0);
  assert.equal(await page.locator('#drawing svg line.cut').count(), 0);
  await keepScreenshot(page, 'planner-die');
});

// 32mo pieces on a quarter sheet cut from 1092 x 787, 157 g/m² at 6,000 a tonne.
it("shows a job's paper and cost", async (page) => {
  await open(page, 'plan?sheet=546x393&piece=184x130&quantity=5000&parent=1092x787' +
    '&grammage=157&price=6000&price_per=tonne');
  const number = async (id) => parseFloat(await text(page, id));
  const ups = await number('#ups');
  const run = await number('#run-sheets');
  assert.equal(run, Math.ceil(5000 / ups));
  assert.equal(await number('#press-sheets'), run);
  assert.equal(await number('#per-parent'), 4);
  const parents = await number('#parent-sheets');
  assert.equal(parents, Math.ceil(run / 4));
  const kg = (parents * 1.092 * 0.787 * 157) / 1000;
  assert.ok(Math.abs((await number('#weight')) - kg) < 0.001);
  assert.ok(Math.abs((await number('#cost')) - (kg * 6000) / 1000) < 0.01);
  await keepScreenshot(page, 'planner-job');
});

it('answers bad input with 400, the form as typed and the message beside the field', async (page) => {
  let dialogs = 0;
  page.on('dialog', (dialog) => {
    dialogs += 1;
    dialog.dismiss();
  });
  const hostile = '"><img src=x onerror=alert(1)>';
  assert.equal(await open(page, `plan?sheet=1092x787&piece=${encodeURIComponent(hostile)}`), 400);
  assert.equal(await page.locator('#f-piece').inputValue(), hostile);
  assert.equal(await page.locator('#f-piece').getAttribute('aria-invalid'), 'true');
  const row = page.locator('.row', { has: page.locator('#f-piece') });
  assert.ok(await row.locator('#error').isVisible());
  assert.equal(await page.locator('img').count(), 0);
  assert.equal(await page.locator('#ups').count(), 0);
  assert.equal(dialogs, 0);
  await keepScreenshot(page, 'planner-bad-input');
});

it('prints the drawing, the figures and the cut list on one A4 landscape page', async (page) => {
  await open(page, kBookmark);
  await page.emulateMedia({ media: 'print' });
  assert.ok(!(await page.locator('#plan-form').isVisible()));
  for (const shown of ['#drawing svg', '#figures', '#cut-list']) {
    assert.ok(await page.locator(shown).isVisible(), shown);
  }
  const pdf = (await page.pdf({ preferCSSPageSize: true, printBackground: true })).toString('latin1');
  assert.equal(pdf.match(/\/Type\s*\/Page\b/g).length, 1);
  const [, width, height] = /\/MediaBox\s*\[\s*0 0 ([\d.]+) ([\d.]+)/.exec(pdf).map(Number);
  assert.ok(Math.abs(width - 842) < 2 && Math.abs(height - 595) < 2, `${width} x ${height}`);
  await keepScreenshot(page, 'planner-print');
});
