// The frameset, the frame guards and the menu's accordion.
import assert from 'node:assert/strict';
import { describe } from 'node:test';
import { mainFrame, menuFrame, openSite } from './support/frames.mjs';
import { useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

async function displays(menu) {
  return menu.evaluate(() =>
    [1, 2, 3, 4, 5].map((n) => document.getElementById(`Menu${n}`).style.display),
  );
}

function header(menu, text) {
  return menu.locator('th').getByText(text, { exact: true });
}

describe('frameset', () => {
  it('shows the menu in a 200 pixel left frame and the welcome page beside it', async (page) => {
    await openSite(page, site.host);
    assert.equal(await page.title(), 'KorvaneV2.0');
    const menu = menuFrame(page);
    const main = mainFrame(page);
    assert.match(menu.url(), /\/Left\.asp$/);
    assert.match(main.url(), /\/Main\.asp$/);
    const left = await page.locator('frame[name="leftFrame"]').boundingBox();
    const right = await page.locator('frame[name="mainFrame"]').boundingBox();
    assert.equal(left.x, 0);
    assert.equal(left.width, 200);
    assert.equal(right.x, 200);
    assert.equal(right.width, 800);
    assert.equal(await menu.title(), 'KorvaneV2.0');
    assert.match(await main.locator('body').innerText(), /无需数据库支持。/);
    // The five section headers, in order.
    assert.deepEqual(await menu.locator('th').allInnerTexts(), [
      '开版拼版工具',
      '纸张价格重量换算工具',
      '书脊计算工具',
      '配色工具',
      '版权',
    ]);
  });

  for (const pagePath of ['Left.asp', 'Main.asp', 'CopyRight.asp', 'Colors.asp', 'Spine.asp']) {
    it(`${pagePath} opened by itself sends the browser to the frameset`, async (page) => {
      await page.goto(site.host.url(pagePath));
      await page.waitForURL(/\/index\.asp$/);
      await page.waitForLoadState('load');
      assert.equal(page.frames().length, 3);
      assert.match(menuFrame(page).url(), /\/Left\.asp$/);
    });
  }

  it('stays put inside its own frames', async (page) => {
    await openSite(page, site.host);
    await page.waitForTimeout(300);
    assert.match(page.url(), /\/index\.asp$/);
    assert.match(mainFrame(page).url(), /\/Main\.asp$/);
  });
});

describe('accordion', () => {
  it('opens with section 1 shown and sections 2 and 3 closed', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    assert.deepEqual(await displays(menu), ['', 'none', 'none', '', '']);
    assert.ok(await menu.locator('form[name="form1"]').isVisible());
    assert.ok(!(await menu.locator('form[name="form2"]').isVisible()));
    assert.ok(!(await menu.locator('form[name="form3"]').isVisible()));
  });

  it('keeps section 1 open on the first click of its header and closes it on the next', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    await header(menu, '开版拼版工具').click();
    assert.deepEqual(await displays(menu), ['block', 'none', 'none', 'none', 'none']);
    assert.ok(await menu.locator('form[name="form1"]').isVisible());
    await header(menu, '开版拼版工具').click();
    assert.deepEqual(await displays(menu), ['none', 'none', 'none', 'none', 'none']);
    assert.ok(!(await menu.locator('form[name="form1"]').isVisible()));
  });

  it('opens one section at a time', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    await header(menu, '纸张价格重量换算工具').click();
    assert.deepEqual(await displays(menu), ['none', 'block', 'none', 'none', 'none']);
    assert.ok(await menu.locator('form[name="form2"]').isVisible());
    await header(menu, '书脊计算工具').click();
    assert.deepEqual(await displays(menu), ['none', 'none', 'block', 'none', 'none']);
    assert.ok(await menu.locator('form[name="form3"]').isVisible());
    await header(menu, '书脊计算工具').click();
    assert.deepEqual(await displays(menu), ['none', 'none', 'none', 'none', 'none']);
  });

  for (const [text, target, shows] of [
    ['配色工具', 'Colors.asp', 'input[name="RGBValue"]'],
    ['版权', 'CopyRight.asp', 'text=版权声明:'],
  ]) {
    it(`"${text}" closes sections 1 to 3 and loads ${target} into the main frame`, async (page) => {
      await openSite(page, site.host);
      const menu = menuFrame(page);
      const main = mainFrame(page);
      await header(menu, '纸张价格重量换算工具').click();
      await header(menu, text).click();
      await main.waitForURL(new RegExp(`/${target.replace('.', '\\.')}$`));
      await main.waitForLoadState('load');
      assert.equal(await main.locator(shows).count(), 1);
      const shown = await displays(menu);
      assert.deepEqual(shown.slice(0, 3), ['none', 'none', 'none']);
      assert.equal(page.url(), site.host.url('index.asp'));
    });
  }

  it('marks the header under the pointer with a hand cursor in red', async (page) => {
    await openSite(page, site.host);
    const menu = menuFrame(page);
    const row = menu.locator('tr', { has: menu.locator('th', { hasText: '书脊计算工具' }) });
    await row.hover();
    assert.equal(await row.getAttribute('class'), 'menuover');
    const style = await row.evaluate((tr) => {
      const s = getComputedStyle(tr);
      return { cursor: s.cursor, color: s.color };
    });
    assert.deepEqual(style, { cursor: 'pointer', color: 'rgb(255, 0, 0)' });
    await page.mouse.move(600, 600);
    assert.equal(await row.getAttribute('class'), 'menuout');
  });
});
