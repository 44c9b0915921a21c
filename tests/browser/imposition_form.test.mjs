// The imposition form in the menu against the imposition page: plate method, zoom, the posted
// fields, the drawing, the remembered sizes, the input alert and printing.
import assert from 'node:assert/strict';
import { describe } from 'node:test';
import { alertOf, field, mainFrame, menuFrame, openSite, post } from './support/frames.mjs';
import { keepScreenshot, useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

const form1 = (menu) => menu.locator('form[name="form1"]');
const input = (menu, name) => form1(menu).locator(`[name="${name}"]`);
const button = (menu, caption) => form1(menu).locator(`input[type="submit"][value="${caption}"]`);

async function fillSizes(menu, sizes) {
  for (const [name, value] of Object.entries(sizes)) await input(menu, name).fill(value);
}

const kSheetAndPiece = { PaperL: '1092', PaperW: '787', PL: '210', PW: '140' };

/// What the main frame shows of an imposition result.
async function result(main) {
  const frame = main.locator('table[style*="border:1px solid #ff0000"]');
  return {
    ups: (await main.locator('th[width="70"]').innerText()).trim(),
    utilisation: (await main.locator('th[width="84"]').innerText()).trim(),
    frame: [await frame.getAttribute('width'), await frame.getAttribute('height')],
    pieces: await main.locator('table[bgcolor="#333333"] td').count(),
  };
}

describe('plate method', () => {
  it('is disabled at load, while the layout direction is the most-ups arrangement', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    assert.equal(await input(menu, 'PaiLie').inputValue(), 'MaxP');
    assert.ok(await input(menu, 'FanBan').isDisabled());
    assert.equal(await input(menu, 'FanBan').inputValue(), '1');
  });

  it('is posted while enabled, and reset, disabled and left out of the post with "MaxP"', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    await input(menu, 'PaiLie').selectOption('HP');
    assert.ok(await input(menu, 'FanBan').isEnabled());
    await input(menu, 'FanBan').selectOption('2');
    let fields = await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    assert.equal(field(fields, 'PaiLie'), 'HP');
    assert.equal(field(fields, 'FanBan'), '2');
    // Work-and-tumble needs an even row count: 5 rows of 5 drop to 4.
    assert.equal((await result(main)).ups, '20');

    await input(menu, 'PaiLie').selectOption('MaxP');
    assert.ok(await input(menu, 'FanBan').isDisabled());
    assert.equal(await input(menu, 'FanBan').inputValue(), '1');
    fields = await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    assert.equal(field(fields, 'PaiLie'), 'MaxP');
    assert.equal(field(fields, 'FanBan'), undefined);
    assert.equal((await result(main)).ups, '27');
  });
});

describe('imposition result', () => {
  it('posts the form and draws 27 ups of 210 x 140 on 1092 x 787 in the most-ups arrangement', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    const fields = await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    assert.deepEqual(
      fields.map(([name]) => name).sort(),
      ['BigSmall', 'PL', 'PW', 'PaiLie', 'PaperL', 'PaperW', 'Submit'],
    );
    assert.equal(field(fields, 'Submit'), '查看开版拼版图');
    assert.equal(field(fields, 'BigSmall'), '1');
    assert.equal(field(fields, 'PaperL'), '1092');
    assert.match(main.url(), /\/PinBan\.asp$/);
    assert.deepEqual(await result(main), {
      ups: '27',
      utilisation: '92.37%',
      frame: ['400', '288'],
      pieces: 27,
    });
    // The menu stays as it was: the result went to the main frame.
    assert.equal(await input(menu, 'PL').inputValue(), '210');
    await keepScreenshot(page, 'frameset-maxp-result');
  });

  it('remembers the normalised sizes for the next load of the menu', async (page) => {
    await openSite(page, site.host);
    let menu = menuFrame(page);
    for (const name of ['PaperL', 'PaperW', 'PL', 'PW']) assert.equal(await input(menu, name).inputValue(), '');
    // Typed short side first and with a fraction: stored floored, long side first.
    await fillSizes(menu, { PaperL: '787.9', PaperW: '1092', PL: '140', PW: '210' });
    await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    await page.reload();
    await page.waitForLoadState('load');
    menu = menuFrame(page);
    await menu.waitForLoadState('load');
    const shown = {};
    for (const name of ['PaperL', 'PaperW', 'PL', 'PW']) shown[name] = await input(menu, name).inputValue();
    assert.deepEqual(shown, { PaperL: '1092', PaperW: '787', PL: '210', PW: '140' });
  });

  it('shows the size check of a field that is no number, and steps the main frame back', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, { ...kSheetAndPiece, PL: ' 12mm ' });
    const { message } = await alertOf(page, () => button(menu, '查看开版拼版图').click());
    assert.equal(message, '请检查所填写项目是否为数字!  错误代码:PL  错误输入:12mm');
    await main.waitForURL(/\/Main\.asp$/);
  });

  it('shows a typed quote or script in the size alert as plain text', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    const typed = '");alert("injected");</script><script>alert("x';
    await fillSizes(menu, { ...kSheetAndPiece, PW: typed });
    const { message } = await alertOf(page, () => button(menu, '查看开版拼版图').click());
    assert.equal(message, `请检查所填写项目是否为数字!  错误代码:PW  错误输入:${typed}`);
    await main.waitForURL(/\/Main\.asp$/);
  });
});

describe('zoom', () => {
  it('"放大" compounds the scale by 1.2 and redraws the sheet larger', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    const seen = [];
    for (let i = 0; i < 2; i++) {
      const fields = await post(page, 'PinBan.asp', () => button(menu, '放大').click());
      assert.equal(field(fields, 'Submit'), '放大');
      const drawn = await result(main);
      seen.push([field(fields, 'BigSmall'), drawn.frame, drawn.ups, drawn.utilisation]);
    }
    // The scale times the sheet length is floored: 1.2 draws 479 pixels, not 480.
    assert.deepEqual(seen, [
      ['1.2', ['479', '345'], '27', '92.37%'],
      ['1.44', ['575', '415'], '27', '92.37%'],
    ]);
    const rendered = await main.locator('table[style*="border:1px solid #ff0000"]').boundingBox();
    assert.deepEqual([Math.round(rendered.width), Math.round(rendered.height)], [575, 415]);
    // "查看开版拼版图" keeps the scale, "最佳" resets it.
    let fields = await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    assert.equal(field(fields, 'BigSmall'), '1.44');
    fields = await post(page, 'PinBan.asp', () => button(menu, '最佳').click());
    assert.equal(field(fields, 'BigSmall'), '1');
    assert.deepEqual((await result(main)).frame, ['400', '288']);
  });

  it('"缩小" divides by 1.2 down to just below 0.2, then stops changing but still submits', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    const scales = [];
    for (let i = 0; i < 10; i++) {
      const fields = await post(page, 'PinBan.asp', () => button(menu, '缩小').click());
      scales.push(Number(field(fields, 'BigSmall')));
    }
    let expected = 1;
    for (let i = 0; i < 9; i++) {
      expected /= 1.2;
      assert.ok(Math.abs(scales[i] - expected) < 1e-12, `click ${i + 1}: ${scales[i]}`);
    }
    assert.ok(scales[8] < 0.2 && scales[8] > 0.19);
    assert.equal(scales[9], scales[8]);
  });
});

describe('printing the result', () => {
  it('the print and preview buttons call the browser print of the main frame', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    await main.evaluate(() => {
      window.printCalls = 0;
      window.print = () => {
        window.printCalls += 1;
      };
    });
    await main.locator('input[value="打印"]').click();
    assert.equal(await main.evaluate(() => window.printCalls), 1);
    await main.locator('input[value="预览"]').click();
    assert.equal(await main.evaluate(() => window.printCalls), 2);
    assert.match(main.url(), /\/PinBan\.asp$/);
  });

  it('the print style hides only the button cell and keeps the grid lines', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const main = mainFrame(page);
    await fillSizes(menu, kSheetAndPiece);
    await post(page, 'PinBan.asp', () => button(menu, '查看开版拼版图').click());
    const shown = () =>
      main.evaluate(() => ({
        buttons: getComputedStyle(document.querySelector('.noPrint')).display,
        ups: getComputedStyle(document.querySelector('th[width="70"]')).display,
        sheet: getComputedStyle(document.querySelector('table[style*="#ff0000"]')).display,
        grid: getComputedStyle(document.querySelector('table[bgcolor="#333333"]')).printColorAdjust,
      }));
    assert.equal((await shown()).buttons, 'table-cell');
    await page.emulateMedia({ media: 'print' });
    assert.deepEqual(await shown(), {
      buttons: 'none',
      ups: 'table-cell',
      sheet: 'table',
      grid: 'exact',
    });
  });
});
