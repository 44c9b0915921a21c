// The paper and spine forms of the menu: the price type, the custom size row, the checks that
// hold a form back with an alert, and what reaches the paper and spine pages.
import assert from 'node:assert/strict';
import { before, describe } from 'node:test';
import { alertOf, field, mainFrame, menuFrame, openSite, post } from './support/frames.mjs';
import { useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

/// Opens the site with the given menu section open, and returns its form.
async function openSection(page, header, formName) {
  await openSite(page, site.host);
  const menu = menuFrame(page);
  await menu.locator('th').getByText(header, { exact: true }).click();
  return menu.locator(`form[name="${formName}"]`);
}
const openPaperForm = (page) => openSection(page, '纸张价格重量换算工具', 'form2');
const openSpineForm = (page) => openSection(page, '书脊计算工具', 'form3');

/// The value cells of the paper page's result table, by label.
async function paperRows(main) {
  const rows = {};
  for (const tr of await main.locator('table tr').all()) {
    const cells = await tr.locator('td').allInnerTexts();
    if (cells.length === 2) rows[cells[0].trim()] = cells[1].trim();
  }
  return rows;
}

const enabledPrices = (form) =>
  form.evaluate((f) =>
    ['M2Price', 'PiecePrice', 'ReamPrice', 'TonPrice'].filter((name) => !f.elements[name].disabled),
  );

describe('paper form', () => {
  it('posts the defaults with only the tonne price', async (page) => {
    const form = await openPaperForm(page);
    assert.deepEqual(await enabledPrices(form), ['TonPrice']);
    await form.locator('[name="PaperWeight"]').fill('157');
    const fields = await post(page, 'Paper.asp', () => form.locator('input[value="开始换算"]').click());
    assert.deepEqual(fields, [
      ['PaperWeight', '157'],
      ['PaperSpec', '889*1194'],
      ['CustomL', ''],
      ['CustomW', ''],
      ['TonPrice', '0'],
      ['PPriceType', 'TonPrice'],
    ]);
  });

  it('sends only the chosen price, even when another was typed before', async (page) => {
    const form = await openPaperForm(page);
    const main = mainFrame(page);
    await form.locator('[name="PaperWeight"]').fill('157');
    await form.locator('[name="TonPrice"]').fill('6000');
    await form.locator('input[type="radio"][value="PiecePrice"]').click();
    assert.deepEqual(await enabledPrices(form), ['PiecePrice']);
    await form.locator('[name="PiecePrice"]').fill('0.5');
    const fields = await post(page, 'Paper.asp', () => form.locator('input[value="开始换算"]').click());
    assert.equal(field(fields, 'PPriceType'), 'PiecePrice');
    assert.equal(field(fields, 'PiecePrice'), '0.5');
    for (const name of ['TonPrice', 'M2Price', 'ReamPrice']) assert.equal(field(fields, name), undefined);
    const rows = await paperRows(main);
    assert.equal(rows['元/张:'], '0.5');
    // 250 a ream at 12.0011884536902 reams a tonne, not the 6000 typed into the disabled box.
    assert.match(rows['元/吨:'], /^3000\.297\d*$/);
    // The typed tonne price is still in its (disabled) box, and comes back with its radio.
    assert.equal(await form.locator('[name="TonPrice"]').inputValue(), '6000');
    await form.locator('input[type="radio"][value="TonPrice"]').click();
    assert.deepEqual(await enabledPrices(form), ['TonPrice']);
  });

  it('refuses an empty grammage or one that does not begin with a number', async (page) => {
    const form = await openPaperForm(page);
    for (const typed of ['', 'abc', ' g80']) {
      await form.locator('[name="PaperWeight"]').fill(typed);
      const { message, posts } = await alertOf(page, () => form.locator('input[value="开始换算"]').click());
      assert.equal(message, '请输入纸张克重!', typed);
      assert.deepEqual(posts, []);
    }
    assert.match(mainFrame(page).url(), /\/Main\.asp$/);
  });

  it('lets a grammage with a leading number through as typed', async (page) => {
    const form = await openPaperForm(page);
    await form.locator('[name="PaperWeight"]').fill('80g');
    const fields = await post(page, 'Paper.asp', () => form.locator('input[value="开始换算"]').click());
    assert.equal(field(fields, 'PaperWeight'), '80g');
  });

  it('shows the custom size row only for "自定义" and checks it only then', async (page) => {
    const form = await openPaperForm(page);
    const main = mainFrame(page);
    const row = form.locator('#CustomTR');
    const sheetSize = form.locator('[name="PaperSpec"]');
    assert.ok(!(await row.isVisible()));
    await sheetSize.selectOption('0');
    assert.ok(await row.isVisible());
    await form.locator('[name="CustomL"]').fill('x');
    await sheetSize.selectOption('787*1092');
    assert.ok(!(await row.isVisible()));

    // With a listed size, whatever the hidden custom boxes hold is posted unchecked.
    await form.locator('[name="PaperWeight"]').fill('80');
    let fields = await post(page, 'Paper.asp', () => form.locator('input[value="开始换算"]').click());
    assert.equal(field(fields, 'CustomL'), 'x');
    assert.equal(field(fields, 'PaperSpec'), '787*1092');

    await sheetSize.selectOption('0');
    for (const [l, w] of [['', '700'], ['1000', ''], ['x', '700'], ['1000', 'mm']]) {
      await form.locator('[name="CustomL"]').fill(l);
      await form.locator('[name="CustomW"]').fill(w);
      const { message, posts } = await alertOf(page, () => form.locator('input[value="开始换算"]').click());
      assert.equal(message, '请输入正确的纸张规格!', `${l} x ${w}`);
      assert.deepEqual(posts, []);
    }

    await form.locator('[name="PaperWeight"]').fill('100');
    await form.locator('[name="CustomL"]').fill('1000');
    await form.locator('[name="CustomW"]').fill('700');
    await form.locator('[name="TonPrice"]').fill('5000');
    fields = await post(page, 'Paper.asp', () => form.locator('input[value="开始换算"]').click());
    assert.equal(field(fields, 'PaperSpec'), '0');
    assert.deepEqual(await paperRows(main), {
      '千克/令:': '35',
      '令/吨:': '28.5714285714286',
      '张/吨:': '14286',
      '元/M2:': '0.5',
      '元/张:': '0.35',
      '元/令:': '175',
      '元/吨:': '5000',
    });
  });
});

describe('spine form', () => {
  it('refuses a grammage or page count that is no number, reading its own form only', async (page) => {
    const form = await openSpineForm(page);
    // The paper form's grammage box has the same name; it must not stand in for this one.
    await menuFrame(page).evaluate(() => {
      document.form2.PaperWeight.value = '80';
    });
    for (const [weight, pages] of [['', '200'], ['80', ''], ['abc', '200'], ['80', 'x200']]) {
      await form.locator('[name="PaperWeight"]').fill(weight);
      await form.locator('[name="PaperPNum"]').fill(pages);
      const { message, posts } = await alertOf(page, () => form.locator('input[value="开始计算"]').click());
      assert.equal(message, '请输入正确的克数和页数', `${weight} / ${pages}`);
      assert.deepEqual(posts, []);
    }
  });

  it('posts grammage and page count and shows the spine thickness', async (page) => {
    const form = await openSpineForm(page);
    const main = mainFrame(page);
    await form.locator('[name="PaperWeight"]').fill('80');
    await form.locator('[name="PaperPNum"]').fill('200');
    const fields = await post(page, 'Spine.asp', () => form.locator('input[value="开始计算"]').click());
    assert.deepEqual(fields, [
      ['PaperWeight', '80'],
      ['PaperPNum', '200'],
    ]);
    assert.equal((await main.locator('td[width="177"]').innerText()).trim(), '21.6\u00a0\u00a0MM');
  });
});
