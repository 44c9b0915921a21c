// The planner for every shop: each page in Chinese and English with nothing left in the other
// language, the switch, presets, inches, a phone's width, the keyboard alone, and axe-core.
import assert from 'node:assert/strict';
import { createRequire } from 'node:module';
import { keepScreenshot, useSite } from './support/site.mjs';

const axeSource = createRequire(import.meta.url).resolve('axe-core/axe.min.js');
const site = useSite();
const it = site.it;

async function open(page, query) {
  return (await page.goto(site.host.url(query))).status();
}
const submit = (page, url) =>
  Promise.all([page.waitForURL(url), page.locator('#plan-form button[type=submit]').click()]);

// The pages a clerk meets: a plan, a job's figures, die-cut work, inches, and two kinds of error.
const kPages = [
  'plan?sheet=1092x787&piece=210x140&bleed=3&gripper=10',
  'plan?sheet=546x393&piece=184x130&quantity=5000&parent=1092x787&grammage=157&price=6000',
  'plan?sheet=1092x787&piece=210x140&cut=die',
  'plan?unit=in&sheet=25x19&piece=8+1/2x11&bleed=1/8',
  'plan?sheet=1092x787&piece=abc',
  'plan?sheet=1092x787&piece=210x140&gripper=1001',
];
// The gang page: two jobs on two layouts, and an error.
const kGang = 'gang?sheet=700+x+500&gripper=10&job=A4&size=210x297&qty=1000&job=A6&size=148x105&qty=3000';
const kGangPages = [kGang, 'gang?sheet=700x500&job=A4&size=abc&qty=1000'];

/// Every text a reader meets, shown or spoken (names, hints, alternatives), but for text marked
/// as in another language (the switch naming its language).
function readerText(page) {
  return page.evaluate(() => {
    const own = document.documentElement.lang;
    const foreign = (el) => el.closest('[lang]')?.lang !== own;
    const parts = [document.title];
    const walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT);
    for (let node = walker.nextNode(); node; node = walker.nextNode()) {
      const el = node.parentElement;
      if (!el.closest('script,style') && !foreign(el)) parts.push(node.textContent);
    }
    const spoken = ['placeholder', 'aria-label', 'label', 'title'];
    for (const el of document.querySelectorAll(spoken.map((a) => `[${a}]`).join(','))) {
      if (!foreign(el)) parts.push(...spoken.map((a) => el.getAttribute(a) ?? ''));
    }
    return parts.join('\n');
  });
}

const kChinese = /[\u3000-\u9fff\uff00-\uffef]/;
// What a Chinese page writes in Latin letters: units, file formats and the sizes' own codes.
const kLatinOnChinesePages = /\b(mm|in|kg|PDF|SVG|PPF|JDF|SRA[1-3]|A[3-6]|B[12]|DL)\b|g\/m²/g;

it('shows every page in English with no Chinese, and in Chinese with nothing untranslated', async (page) => {
  for (const query of [...kPages, ...kGangPages]) {
    await open(page, `${query}&lang=en`);
    assert.equal(await page.locator('html').getAttribute('lang'), 'en');
    const english = await readerText(page);
    assert.doesNotMatch(english, kChinese, `${query}: ${english.match(kChinese)?.[0]}`);

    await open(page, `${query}&lang=zh`);
    assert.equal(await page.locator('html').getAttribute('lang'), 'zh-CN');
    const chinese = (await readerText(page)).replace(kLatinOnChinesePages, '');
    assert.doesNotMatch(chinese, /[A-Za-z]{2,}/, `${query}: ${chinese.match(/\S*[A-Za-z]{2,}\S*/)?.[0]}`);
  }
});

it("takes the browser's language, and the switch keeps the rest of the query", async (page) => {
  // As a browser set to English asks (this browser's own locale is Chinese).
  await page.route('**/plan?*', (route) => route.continue({
    headers: { ...route.request().headers(), 'accept-language': 'en-GB,en;q=0.9,zh;q=0.5' },
  }));
  await open(page, 'plan?sheet=546x393&piece=184x130&bleed=3');
  assert.equal(await page.locator('html').getAttribute('lang'), 'en');
  assert.equal(await page.locator('#f-sheet').inputValue(), '546x393');

  await Promise.all([page.waitForURL(/lang=zh/), page.locator('a[hreflang=zh-CN]').click()]);
  const query = new URL(page.url()).searchParams;
  assert.deepEqual([...query], [['sheet', '546x393'], ['piece', '184x130'], ['bleed', '3'], ['lang', 'zh']]);
  assert.equal(await page.locator('html').getAttribute('lang'), 'zh-CN');
  assert.match(await page.locator('.summary').innerText(), /^上机纸尺寸 546 × 393 mm/);
  // The language stays with the form's next plan, whatever the browser prefers.
  await page.locator('#f-gutter').fill('2');
  await submit(page, /gutter=2/);
  assert.equal(await page.locator('html').getAttribute('lang'), 'zh-CN');
});

it("fills the size fields from a preset's name, in the form's unit", async (page) => {
  await open(page, 'plan?lang=en');
  const labels = await page.locator('#presets-sheet option').evaluateAll((os) => os.map((o) => o.label));
  assert.ok(labels.includes('SRA3 450 × 320 mm') && labels.includes('Press sheet 40 × 28 in'), labels.join());
  await page.locator('#f-piece').fill('a4');
  await page.keyboard.press('Tab');
  assert.equal(await page.locator('#f-piece').inputValue(), '297x210');
  await page.locator('#f-unit').selectOption('in');
  await page.locator('#f-sheet').fill('25x38');  // free input stays as typed
  await page.locator('#f-sheet').blur();
  assert.equal(await page.locator('#f-sheet').inputValue(), '25x38');

  await open(page, 'plan?lang=en&unit=in&sheet=25x19&piece=1x1');
  await page.locator('#f-piece').fill('Letter');
  await page.locator('#f-sheet').focus();
  assert.equal(await page.locator('#f-piece').inputValue(), '11x8.5');
  await submit(page, /piece=11x8\.5/);
  assert.match(await page.locator('.summary').innerText(), /Piece 11 × 8\.5 in/);
});

it('plans in inches typed with fractions, the same layout as in millimetres', async (page) => {
  await open(page, 'plan?lang=en');
  await page.locator('#f-unit').selectOption('in');
  await page.locator('#f-sheet').fill('25x19');
  await page.locator('#f-piece').fill('8 1/2x11');
  await page.locator('#f-bleed').fill('⅛');
  await submit(page, /unit=in/);
  assert.equal(await page.locator('#f-piece').inputValue(), '8 1/2x11');
  assert.equal(await page.locator('#f-bleed').inputValue(), '⅛');
  assert.match(await page.locator('.summary').innerText(), /Piece 8\.5 × 11 in · Bleed 0\.125 in/);
  assert.match(await page.locator('#drawing svg').innerHTML(), />25 in<\/text>/);
  const steps = await page.locator('#cuts li').allInnerTexts();
  assert.ok(steps.length > 0 && steps.every((s) => / in from the (left|gripper) edge$/.test(s)), steps.join('\n'));
  const pieces = () => page.locator('#drawing rect.piece').evaluateAll((rs) => rs.map((r) => r.outerHTML).join());
  const inInches = await pieces();

  await open(page, 'plan?lang=en&sheet=635x482.6&piece=215.9x279.4&bleed=3.175');
  assert.equal(await pieces(), inInches);
});

it('converts what was typed when the unit changes, and plans the same sheet', async (page) => {
  await open(page, 'plan?lang=en&sheet=1092x787&piece=210+x+140&bleed=3&gripper=8+1/2');
  const ups = await page.locator('#ups').innerText();
  await page.locator('#f-unit').selectOption('in');
  const values = () => Promise.all(['#f-sheet', '#f-piece', '#f-bleed', '#f-gripper'].map(
    (id) => page.locator(id).inputValue()));
  assert.deepEqual(await values(), ['42.99213x30.98425', '8.26772x5.51181', '0.11811', '8 1/2']);
  assert.equal(await page.locator('.row', { has: page.locator('#f-bleed') }).locator('.suffix').innerText(), 'in');
  assert.equal(await page.locator('#presets-piece option[data-name=A4]').getAttribute('value'), '11.69291x8.26772');
  await page.locator('#f-gripper').fill('0.5');
  await submit(page, /unit=in/);
  assert.equal(await page.locator('#ups').innerText(), ups);
  assert.match(await page.locator('.summary').innerText(), /^Press sheet 42\.99213 × 30\.98425 in/);
  await page.locator('#f-unit').selectOption('mm');
  assert.deepEqual(await values(), ['1092x787', '210x140', '3', '12.7']);
});

it('fits a phone: no sideways scrolling, the drawing on top', async (page) => {
  await page.setViewportSize({ width: 390, height: 844 });
  for (const lang of ['zh', 'en']) {
    for (const query of [kPages[1], kPages[3], kPages[4], ...kGangPages]) {
      await open(page, `${query}&lang=${lang}`);
      const overflow = await page.evaluate(() => document.documentElement.scrollWidth - innerWidth);
      assert.ok(overflow <= 0, `${lang} ${query}: ${overflow} px too wide`);
      if (await page.locator('#drawing').count()) {
        const [drawing, form] = await Promise.all(
          ['#drawing', 'form'].map((s) => page.locator(s).first().boundingBox()));
        assert.ok(drawing.y + drawing.height <= form.y, `${lang} ${query}: drawing not above the form`);
      }
    }
  }
  await open(page, `${kPages[0]}&lang=zh`);
  await keepScreenshot(page, 'planner-zh-390');
});

it('plans with the keyboard alone, the focus always in sight', async (page) => {
  await open(page, 'plan?lang=en');
  const focused = () => page.evaluate(() => {
    const el = document.activeElement;
    const style = getComputedStyle(el);
    const outline = style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) > 0;
    return { tag: el.tagName, id: el.id, href: el.getAttribute('href'), outline };
  });
  await page.keyboard.press('Tab');
  assert.deepEqual(await focused(), { tag: 'A', id: '', href: '#result', outline: true });  // skip link
  const tabTo = async (match) => {
    for (let i = 0; i < 80; ++i) {
      await page.keyboard.press('Tab');
      const now = await focused();
      assert.ok(now.outline, `no visible focus on ${JSON.stringify(now)}`);
      if (match(now)) return;
    }
    assert.fail('never reached');
  };
  await tabTo((f) => f.id === 'f-piece');
  await page.keyboard.press('Control+A');
  await page.keyboard.type('148x105');
  await tabTo((f) => f.id === 'f-grain');
  await page.keyboard.press('ArrowDown');  // "length"
  await tabTo((f) => f.tag === 'BUTTON');
  await Promise.all([page.waitForURL(/piece=148x105/), page.keyboard.press('Enter')]);
  const query = new URL(page.url()).searchParams;
  assert.equal(query.get('grain'), 'length');
  assert.ok(Number(await page.locator('#ups').innerText()) > 0);
  // The result's parts: the cut list scrolls from the keyboard, the PDF link is reached.
  await tabTo((f) => f.id === 'cuts');
  await tabTo((f) => f.href?.startsWith('/plan.pdf'));
});

async function axeViolations(page) {
  await page.addScriptTag({ path: axeSource });
  const { violations } = await page.evaluate(() => axe.run(document, { resultTypes: ['violations'] }));
  return violations.map((v) => `${v.id}: ${v.nodes.map((n) => n.target.join(' ')).join(', ')}`);
}

it('passes axe-core on the forms, the results and errors, in both languages and on a phone', async (page) => {
  for (const lang of ['zh', 'en']) {
    for (const query of [kPages[1], kPages[2], kPages[4], kPages[5], ...kGangPages]) {
      await open(page, `${query}&lang=${lang}`);
      assert.deepEqual(await axeViolations(page), [], `${lang} ${query}`);
    }
  }
  await page.setViewportSize({ width: 390, height: 844 });
  await open(page, `${kPages[0]}&lang=en`);
  assert.deepEqual(await axeViolations(page), []);
  // The error is announced and the field points at it.
  await open(page, `${kPages[4]}&lang=en`);
  assert.equal(await page.locator('[role=alert]').innerText(), 'Enter length x width, e.g. 1092x787');
  assert.equal(await page.locator('#f-piece').getAttribute('aria-describedby'), 'error');
  await page.setViewportSize({ width: 1400, height: 900 });
  await open(page, `${kPages[1]}&lang=en`);
  await keepScreenshot(page, 'planner-en-desktop');
});
