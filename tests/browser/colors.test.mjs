// The colour mixer as the menu's colour section loads it.
import assert from 'node:assert/strict';
import { mainFrame, menuFrame, openSite } from './support/frames.mjs';
import { keepScreenshot, useSite } from './support/site.mjs';

const site = useSite();
const it = site.it;

async function openMixer(page) {
  await openSite(page, site.host);
  const main = mainFrame(page);
  await menuFrame(page).locator('th').getByText('配色工具', { exact: true }).click();
  await main.waitForURL(/\/Colors\.asp$/);
  await main.waitForLoadState('load');
  return main;
}

const colours = (main) =>
  main.evaluate(() =>
    Object.fromEntries(
      ['RGBTab', 'RGBTab1', 'RGBTab2', 'RGBTab3'].map((id) => [
        id,
        getComputedStyle(document.getElementById(id)).backgroundColor,
      ]),
    ),
  );

it('starts white with red, green and blue swatches as rendered', async (page) => {
  const main = await openMixer(page);
  assert.deepEqual(await colours(main), {
    RGBTab: 'rgb(255, 255, 255)',
    RGBTab1: 'rgb(255, 0, 0)',
    RGBTab2: 'rgb(0, 255, 0)',
    RGBTab3: 'rgb(0, 0, 255)',
  });
  assert.equal(await main.locator('[name="RGBValue"]').inputValue(), 'RGB(255,255,255)');
  for (const name of ['RGB1', 'RGB2', 'RGB3']) {
    const select = main.locator(`[name="${name}"]`);
    assert.equal(await select.inputValue(), '255');
    assert.equal(await select.locator('option').count(), 256);
  }
});

it('repaints only the changed channel swatch and the mixed field', async (page) => {
  const main = await openMixer(page);
  await main.locator('[name="RGB1"]').selectOption('0');
  assert.deepEqual(await colours(main), {
    RGBTab: 'rgb(0, 255, 255)',
    RGBTab1: 'rgb(0, 0, 0)',
    RGBTab2: 'rgb(0, 255, 0)',
    RGBTab3: 'rgb(0, 0, 255)',
  });
  assert.equal(await main.locator('[name="RGBValue"]').inputValue(), 'RGB(0,255,255)');

  // A typed notation changes no colour; the next channel change overwrites it.
  await main.locator('[name="RGBValue"]').fill('RGB(1,2,3)');
  await main.locator('[name="RGB2"]').selectOption('128');
  assert.deepEqual(await colours(main), {
    RGBTab: 'rgb(0, 128, 255)',
    RGBTab1: 'rgb(0, 0, 0)',
    RGBTab2: 'rgb(0, 128, 0)',
    RGBTab3: 'rgb(0, 0, 255)',
  });
  assert.equal(await main.locator('[name="RGBValue"]').inputValue(), 'RGB(0,128,255)');
  await main.locator('[name="RGB3"]').selectOption('64');
  assert.equal(await main.locator('[name="RGBValue"]').inputValue(), 'RGB(0,128,64)');
  await keepScreenshot(page, 'colour-mixer');
});
