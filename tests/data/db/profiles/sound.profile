<profile>
	<header>
		<id><![CDATA[Hand]]></id>
		<driverversion>01000000</driverversion>
		<family>kv</family>
		<group>profileall</group>
		<profileid>hand-00000000000000001</profileid>
	</header>
	<database>
		<d i='multifeedsound'><m>bell.wav</m></d>
	</database>
</profile>
